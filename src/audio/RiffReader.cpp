#include "audio/RiffReader.h"

#include <algorithm>
#include <cstring>

#include "base/AtomicFile.h"

namespace fim {

namespace {

bool IsListType(const char id[4]) {
    return std::memcmp(id, "RIFF", 4) == 0 || std::memcmp(id, "LIST", 4) == 0;
}

}  // namespace

uint64_t RiffChunk::dataBytesDeclared() const {
    // The form type of a RIFF/LIST chunk counts in the declared size but is not data.
    const bool list = IsListType(id);
    if (list) return declaredSize >= 4 ? declaredSize - 4u : 0u;
    return declaredSize;
}

std::optional<RiffChunk> RiffReader::HeaderAt(uint64_t offset, uint64_t limit) {
    unsigned char header[12];
    if (limit < offset || limit - offset < 8) return std::nullopt;
    if (source_.ReadAt(offset, header, 8) != 8) return std::nullopt;
    RiffChunk chunk;
    std::memcpy(chunk.id, header, 4);
    chunk.declaredSize = LoadU32(header + 4);
    chunk.dataOffset = offset + 8;
    if (IsListType(chunk.id)) {
        if (limit - chunk.dataOffset < 4) return std::nullopt;
        if (source_.ReadAt(chunk.dataOffset, header + 8, 4) != 4) return std::nullopt;
        std::memcpy(chunk.form, header + 8, 4);
        chunk.dataOffset += 4;
    }
    chunk.size = std::min<uint64_t>(chunk.dataBytesDeclared(), limit - chunk.dataOffset);
    return chunk;
}

std::optional<RiffChunk> RiffReader::DescendRiff(const char* form) {
    const uint64_t end = source_.Size();
    uint64_t offset = 0;
    while (auto chunk = HeaderAt(offset, end)) {
        if (std::memcmp(chunk->id, "RIFF", 4) == 0 && std::memcmp(chunk->form, form, 4) == 0) {
            return chunk;
        }
        // Next top-level chunk: data end plus the pad byte of an odd size.
        const uint64_t next =
            chunk->dataOffset + chunk->dataBytesDeclared() + (chunk->declaredSize & 1u);
        if (next <= offset || next >= end) break;
        offset = next;
    }
    return std::nullopt;
}

std::optional<RiffChunk> RiffReader::Descend(const RiffChunk& parent, const char* id) {
    const uint64_t end = parent.dataOffset + parent.size;
    uint64_t offset = parent.dataOffset;
    while (auto chunk = HeaderAt(offset, end)) {
        if (std::memcmp(chunk->id, id, 4) == 0) return chunk;
        const uint64_t next =
            chunk->dataOffset + chunk->dataBytesDeclared() + (chunk->declaredSize & 1u);
        if (next <= offset || next >= end) break;
        offset = next;
    }
    return std::nullopt;
}

std::size_t RiffReader::Read(const RiffChunk& chunk, uint64_t offset, void* dst,
                             std::size_t bytes) {
    if (offset >= chunk.size) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(bytes, chunk.size - offset));
    return source_.ReadAt(chunk.dataOffset + offset, dst, n);
}

}  // namespace fim
