// FLAC test images, encoded by Debian's flac command from the samples the
// BIN tests use: sample i holds the low 16 bits of i + 1 on the left and the
// high bits plus 1 on the right, so no sample is silence and each tells
// where it stands.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

inline std::vector<int16_t> countingSamples(uint32_t samples) {
    std::vector<int16_t> pairs(samples * 2);
    for (uint32_t i = 0; i < samples; i++) {
        pairs[2 * i] = (int16_t)((i + 1) & 0xFFFF);
        pairs[2 * i + 1] = (int16_t)(((i + 1) >> 16) + 1);
    }
    return pairs;
}

// Encodes raw little-endian samples (`bits`, `channels`, `rate`) into `flac`,
// with a CUESHEET block from `cue` when given. False when flac fails.
inline bool encodeFlac(const std::string& raw, const std::string& flac, uint32_t rate = 44100, uint32_t bits = 16,
                       uint32_t channels = 2, const std::string& cue = "") {
    std::string command = "flac --silent --force --force-raw-format --endian=little --sign=signed --channels=" +
                          std::to_string(channels) + " --bps=" + std::to_string(bits) +
                          " --sample-rate=" + std::to_string(rate) + (cue.empty() ? "" : " --cuesheet='" + cue + "'") +
                          " -o '" + flac + "' '" + raw + "'";
    return system(command.c_str()) == 0;
}

inline bool writeRaw(const std::string& path, const void* bytes, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    fwrite(bytes, 1, size, file);
    fclose(file);
    return true;
}
