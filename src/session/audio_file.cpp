// Reading an impulse-response file with libsndfile from the bytes read once, so the log shows
// exactly the bytes that were decoded.
#include "session/audio_file.h"

#include "core/resampler.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace qeltx::session {

namespace {

using Result = core::Refusable<AudioFile>;

// libsndfile reads the file through these callbacks from the bytes in memory.
struct MemoryFile {
    const QByteArray& bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* user) { return static_cast<MemoryFile*>(user)->bytes.size(); }

sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? file->bytes.size() : 0;
    const sf_count_t target = base + offset;
    if (target < 0) return -1;
    file->position = target;
    return target;
}

sf_count_t memoryRead(void* destination, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t left = std::max<sf_count_t>(0, file->bytes.size() - file->position);
    const sf_count_t n = std::min(count, left);
    if (n > 0) std::copy_n(file->bytes.constData() + file->position, n, static_cast<char*>(destination));
    file->position += n;
    return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t memoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

// Bits per sample of the encodings Load IR takes; 0 for any other.
int bitsPerSample(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_16: return 16;
        case SF_FORMAT_PCM_24: return 24;
        case SF_FORMAT_PCM_32: return 32;
        case SF_FORMAT_FLOAT: return 32;
        default: return 0;
    }
}

QString encodingName(int subtype) {
    SF_FORMAT_INFO info{};
    info.format = subtype;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name) {
        return QString::fromUtf8(info.name);
    }
    return QStringLiteral("an unknown encoding");
}

// libsndfile's own words, without their full stop, to sit inside a sentence.
QString libraryReason(const char* text) {
    QString reason = QString::fromUtf8(text ? text : "");
    while (reason.endsWith(QLatin1Char('.'))) reason.chop(1);
    return reason;
}

// Frames read per call: the interleaved buffer stays small however long the file is.
constexpr sf_count_t kBlockFrames = 16384;

// Up to `frames` frames of the first channel; false when libsndfile delivers fewer.
template <typename Sample, typename Read>
bool readFirstChannel(sf_count_t frames, int channels, Read read, std::vector<Sample>& out) {
    const auto width = static_cast<std::size_t>(channels);
    std::vector<Sample> block(static_cast<std::size_t>(kBlockFrames) * width);
    // A header may claim more than the file holds; the reserve is only a hint.
    out.reserve(static_cast<std::size_t>(std::min(frames, 64 * kBlockFrames)));
    for (sf_count_t done = 0; done < frames;) {
        const sf_count_t want = std::min(kBlockFrames, frames - done);
        const sf_count_t got = read(block.data(), want);
        for (sf_count_t i = 0; i < got; ++i) out.push_back(block[static_cast<std::size_t>(i) * width]);
        if (got != want) return false;
        done += got;
    }
    return true;
}

}  // namespace

core::Refusable<AudioFile> readAudioFile(const QString& path, std::uint64_t maxFrames) {
    const QString name = QFileInfo(path).fileName();
    auto refuse = [&name](const QString& why) {
        return Result::refused((name + QStringLiteral(": ") + why).toStdString());
    };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return refuse(QStringLiteral("the file could not be opened (") + file.errorString() + QStringLiteral(")."));
    }
    if (file.size() > kMaxAudioFileBytes) {
        return refuse(QStringLiteral("the file is %1 bytes long, too long for an impulse response (at most %2).")
                          .arg(file.size())
                          .arg(kMaxAudioFileBytes));
    }
    AudioFile audio;
    audio.bytes = file.readAll();
    if (audio.bytes.size() != file.size()) {
        return refuse(QStringLiteral("the file could not be read (") + file.errorString() + QStringLiteral(")."));
    }

    MemoryFile memory{audio.bytes};
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> sound(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!sound) {
        return refuse(QStringLiteral("this is not an audio file the editor can read (") +
                      libraryReason(sf_strerror(nullptr)) + QStringLiteral(")."));
    }
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    const int bits = bitsPerSample(subtype);
    if (bits == 0) {
        return refuse(QStringLiteral("its samples are ") + encodingName(subtype) +
                      QStringLiteral("; Load IR takes 16-, 24- or 32-bit integer or 32-bit floating-point samples."));
    }
    if (info.channels < 1 || info.frames < 1) return refuse(QStringLiteral("the file holds no samples."));
    if (const auto problem = core::sampleRateProblem(info.samplerate)) {
        return refuse(QString::fromStdString(*problem) + QLatin1Char('.'));
    }

    audio.format = {info.channels, info.samplerate, bits, static_cast<std::uint64_t>(info.frames)};
    // A compressed file may hold far more than its size suggests: only what is kept is decoded.
    const auto frames = static_cast<sf_count_t>(
        std::min<std::uint64_t>({maxFrames, audio.format.frames, core::maxResponseFrames(info.samplerate)}));
    bool complete = false;
    if (subtype == SF_FORMAT_FLOAT) {
        std::vector<double> samples;
        complete = readFirstChannel(frames, info.channels,
                                    [&](double* to, sf_count_t n) { return sf_readf_double(sound.get(), to, n); }, samples);
        audio.firstChannel = std::move(samples);
    } else {
        // Integer samples come left-aligned in 32 bits whatever their size, the most significant
        // bit at bit 31: exactly what the tap word is cut from.
        std::vector<std::int32_t> samples;
        complete = readFirstChannel(frames, info.channels,
                                    [&](std::int32_t* to, sf_count_t n) { return sf_readf_int(sound.get(), to, n); },
                                    samples);
        audio.firstChannel = std::move(samples);
    }
    if (!complete) {
        return refuse(QStringLiteral("the samples could not be read (") + libraryReason(sf_strerror(sound.get())) +
                      QStringLiteral(")."));
    }
    return Result::accepted(std::move(audio));
}

}  // namespace qeltx::session
