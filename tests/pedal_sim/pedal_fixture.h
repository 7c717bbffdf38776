// Shared helpers of the virtual pedal's tests: images built by hand (independently of the
// model's own image code) and a pedal fed and read through its byte interface.
#pragma once

#include "pedal_sim/pedal_model.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace qeltx::pedal_sim::test {

using Bytes = std::vector<std::uint8_t>;

struct ImageSpec {
    std::uint8_t number = 43;
    std::uint8_t controls = 3;
    std::vector<std::uint16_t> addresses{2, 5, 7};  // entry i is control i's parameter address
    std::vector<std::uint32_t> words{};             // initial words of the parameter area, word k at address k
    std::size_t padding = 5;                        // zero bytes after the end record
};

// A well-formed image: header, a write of the parameter area at 0x0000, a write at 0x0400,
// a filler record, a small write at 0x0800, the end record and zero padding.
inline Bytes buildImage(const ImageSpec& spec) {
    Bytes image(128, 0);
    for (std::size_t i = 0; i < spec.addresses.size(); ++i) {
        image[3 + 2 * i] = static_cast<std::uint8_t>(spec.addresses[i] >> 8);
        image[4 + 2 * i] = static_cast<std::uint8_t>(spec.addresses[i] & 0xFF);
    }
    for (std::size_t k = 35; k < 126; ++k) image[k] = static_cast<std::uint8_t>(k * 7);
    image[126] = spec.number;
    image[127] = spec.controls;
    auto write = [&](std::uint16_t target, const Bytes& data) {
        const std::size_t length = data.size() + 3;
        image.insert(image.end(), {0x01, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
                                   0x00, static_cast<std::uint8_t>(target >> 8), static_cast<std::uint8_t>(target)});
        image.insert(image.end(), data.begin(), data.end());
    };
    std::vector<std::uint32_t> words = spec.words;
    if (words.empty()) words.assign(16, 0);
    Bytes area;
    for (std::uint32_t w : words) {
        area.insert(area.end(), {static_cast<std::uint8_t>(w >> 24), static_cast<std::uint8_t>(w >> 16),
                                 static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w)});
    }
    write(0x0000, area);
    write(0x0400, Bytes(40, 0x11));
    image.push_back(0x03);
    write(0x0800, Bytes{1, 2, 3, 4, 5});
    image.push_back(0x06);
    image.insert(image.end(), spec.padding, 0x00);
    image[1] = static_cast<std::uint8_t>(image.size() >> 8);
    image[2] = static_cast<std::uint8_t>(image.size() & 0xFF);
    return image;
}

// A pedal holding `spec`'s image, reached without time and without a driver.
class Pedal {
public:
    explicit Pedal(const ImageSpec& spec = {}) : model_(options(spec)) {}
    static PedalOptions options(const ImageSpec& spec) {
        PedalOptions o;
        o.storedImage = buildImage(spec);
        o.imageSource = [](std::uint8_t) { return std::optional<Bytes>{}; };
        return o;
    }

    PedalModel& model() { return model_; }
    void send(const Bytes& bytes, const LineSettings& line = kNormalLine) {
        model_.receive(bytes.data(), bytes.size(), line);
    }
    Bytes take() {
        Bytes out(model_.output().begin(), model_.output().end());
        model_.output().clear();
        return out;
    }
    std::string takeText() {
        const Bytes b = take();
        return std::string(b.begin(), b.end());
    }
    // The answer to Request N, as the numbers of its lines (each line checked to end in CR LF).
    std::vector<int> request(std::uint8_t n);

private:
    PedalModel model_;
};

inline std::vector<int> Pedal::request(std::uint8_t n) {
    send({0x02, n});
    const std::string text = takeText();
    std::vector<int> numbers;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) return {};  // a line without CR LF: not the pedal's format
        numbers.push_back(std::stoi(text.substr(at, end - at)));
        at = end + 2;
    }
    return numbers;
}

}  // namespace qeltx::pedal_sim::test
