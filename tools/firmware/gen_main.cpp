// qeltx-firmware-gen: writes the test firmware image.
//   qeltx-firmware-gen FILE
#include "test_image.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qeltx-firmware-gen FILE\n";
        return 2;
    }
    const auto image = qeltx::firmware_tools::makeTestImage();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        std::cerr << argv[1] << ": cannot be written\n";
        return 1;
    }
    std::cout << image.size() << " bytes written to " << argv[1] << "\n";
    return 0;
}
