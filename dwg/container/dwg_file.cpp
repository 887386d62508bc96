#include "dwg/container/dwg_file.h"

#include <string>

#include "dwg/container/r13_2000.h"
#include "dwg/container/r2004.h"
#include "dwg/errors.h"

namespace dwg {

DwgFile readDwgFile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 6)
        throw FormatError("file header: expected a version string of 6 bytes, found " + std::to_string(bytes.size()) +
                          " bytes");
    const std::string version(bytes.begin(), bytes.begin() + 6);
    switch (const Release release = releaseFromVersionString(version)) {
        case Release::R13:
        case Release::R14:
        case Release::R2000:
            return readR13To2000(bytes, release);
        case Release::R2004:
            return readR2004(bytes);
        default:
            throw UnsupportedRelease("release " + std::string(releaseName(release)) + " (" + version +
                                     ") cannot be read yet");
    }
}

std::vector<std::uint8_t> writeDwgFile(const DwgFile& file) {
    switch (file.release) {
        case Release::R13:
        case Release::R14:
        case Release::R2000:
            return writeR13To2000(file);
        case Release::R2004:
            return writeR2004(file);
        default:
            throw UnsupportedRelease("release " + std::string(releaseName(file.release)) + " cannot be written yet");
    }
}

}  // namespace dwg
