// PNG file structure: signature, IHDR checks, the chunk walk (PLTE, tRNS, IDAT, IEND) and the decoding steps.
#include "render/png_decoder.h"

#include <algorithm>
#include <cstring>

#include "render/inflate.h"
#include "render/png_internal.h"

namespace VexBlit {

namespace {

constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::size_t kFirstChunk = 33;  // signature 8 + IHDR (length 4, type 4, data 13, CRC 4)

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint16_t bigEndian16(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }

bool depthAllowed(unsigned colourType, unsigned depth) {
    switch (colourType) {
        case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        default: return depth == 8 || depth == 16;  // 2, 4 and 6
    }
}

int readHeader(PngInfo& info, const std::uint8_t* data, std::size_t size) {
    if (size < 29) return kPngTooShort;
    if (std::memcmp(data, kSignature, 8) != 0) return kPngBadSignature;
    if (std::memcmp(data + 12, "IHDR", 4) != 0) return kPngNoHeader;
    info.width = bigEndian32(data + 16);
    info.height = bigEndian32(data + 20);
    info.bitDepth = data[24];
    info.colourType = data[25];
    info.compressionMethod = data[26];
    info.filterMethod = data[27];
    info.interlaceMethod = data[28];
    if (info.compressionMethod != 0) return kPngBadCompression;
    if (info.filterMethod != 0) return kPngBadFilterMethod;
    if (info.interlaceMethod > 1) return kPngBadInterlace;
    unsigned type = info.colourType;
    if (type != 0 && type != 2 && type != 3 && type != 4 && type != 6) return kPngBadColourType;
    if (!depthAllowed(type, info.bitDepth)) return kPngBadBitDepth;
    // Every later size, down to the bit count of a 64-bit-per-pixel image, must fit in size_t.
    if (info.width > SIZE_MAX / 64 / std::max<std::uint32_t>(info.height, 1)) return kPngImageTooLarge;
    return kPngOk;
}

int readPalette(PngInfo& info, const std::uint8_t* p, std::uint32_t length) {
    std::size_t entries = length / 3;
    if (entries > 256) return kPngPaletteTooLarge;
    info.palette.assign(4 * entries, 255);
    for (std::size_t i = 0; i < entries; ++i) std::memcpy(&info.palette[4 * i], p + 3 * i, 3);
    return kPngOk;
}

int readTransparency(PngInfo& info, const std::uint8_t* p, std::uint32_t length) {
    if (info.colourType == 3) {
        if (length > info.paletteEntries()) return kPngTransTooLong;
        for (std::uint32_t i = 0; i < length; ++i) info.palette[4 * i + 3] = p[i];
    } else if (info.colourType == 0) {
        if (length != 2) return kPngTransGreyLength;
        info.keyRed = info.keyGreen = info.keyBlue = bigEndian16(p);
        info.hasKey = true;
    } else if (info.colourType == 2) {
        if (length != 6) return kPngTransRgbLength;
        info.keyRed = bigEndian16(p);
        info.keyGreen = bigEndian16(p + 2);
        info.keyBlue = bigEndian16(p + 4);
        info.hasKey = true;
    } else {
        return kPngTransNotAllowed;
    }
    return kPngOk;
}

// Walks the chunks after IHDR up to IEND, gathering the IDAT data.
int readChunks(PngInfo& info, std::vector<std::uint8_t>& idat, const std::uint8_t* data, std::size_t size) {
    for (std::size_t pos = kFirstChunk;;) {
        if (pos > size || size - pos < 9) return kPngChunkHeaderPastEnd;
        std::uint32_t length = bigEndian32(data + pos);
        const std::uint8_t* type = data + pos + 4;
        if (length > 2147483647u) return kPngChunkTooLong;
        if (length > size - pos - 8) return kPngChunkPastEnd;
        const std::uint8_t* body = type + 4;
        int error = kPngOk;
        if (std::memcmp(type, "IEND", 4) == 0) return kPngOk;
        if (std::memcmp(type, "IDAT", 4) == 0) idat.insert(idat.end(), body, body + length);
        else if (std::memcmp(type, "PLTE", 4) == 0) error = readPalette(info, body, length);
        else if (std::memcmp(type, "tRNS", 4) == 0) error = readTransparency(info, body, length);
        else if ((type[0] & 32) == 0) error = kPngUnknownCritical;
        if (error) return error;
        pos += std::size_t(length) + 12;  // length, type, data and the unchecked CRC
    }
}

}  // namespace

unsigned PngInfo::channels() const {
    switch (colourType) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;  // 0 and 3
    }
}

int decodePng(std::vector<std::uint8_t>& out, std::uint32_t& width, std::uint32_t& height, const std::uint8_t* data,
              std::size_t size, bool convertToRgba) {
    if (data == nullptr || size == 0) return kPngEmptyInput;
    PngInfo info;
    if (int error = readHeader(info, data, size)) return error;
    width = info.width;
    height = info.height;
    std::vector<std::uint8_t> idat, inflated;
    if (int error = readChunks(info, idat, data, size)) return error;
    std::size_t expected = 0;
    for (const PngPass& pass : pngPasses(info))
        if (pass.width != 0) expected += pass.height * (1 + pngLineBytes(info, pass.width));
    if (int error = inflateZlib(inflated, idat.data(), idat.size(), expected)) return error;
    if (inflated.size() < expected) return kPngPixelsMissing;
    if (!convertToRgba) return pngReconstruct(out, inflated, info);
    std::vector<std::uint8_t> pixels;
    if (int error = pngReconstruct(pixels, inflated, info)) return error;
    return pngConvertToRgba(out, pixels, info);
}

}  // namespace VexBlit
