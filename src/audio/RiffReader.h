#pragma once
// A small RIFF chunk walker: finds the top-level "RIFF" chunk of a form type and the chunks inside
// a parent by their four-character id, and reads chunk data. Declared sizes are never trusted: a
// chunk's usable size is cut at its parent's end and at the end of the file, so nothing is ever
// read past either.
//
// Typical use (a WAVE file):
//   RiffReader riff(source);
//   auto wave = riff.DescendRiff("WAVE");          // the RIFF chunk of form "WAVE"
//   auto fmt  = riff.Descend(*wave, "fmt ");       // a chunk inside it
//   riff.Read(*fmt, 0, buffer, 16);                // bytes of its data
// Each Descend searches its parent from the first child on, so the order of the chunks inside
// the parent does not matter; "ascending" needs no call.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/ByteSource.h"

namespace fim {

struct RiffChunk {
    char id[4] = {0, 0, 0, 0};
    // "RIFF"/"LIST" chunks: the form or list type; otherwise zeros.
    char form[4] = {0, 0, 0, 0};
    uint32_t declaredSize = 0;  // as stored in the chunk header
    uint64_t dataOffset = 0;    // file offset of the data (after the header, after the form type)
    uint64_t size = 0;  // usable data bytes: declared size cut at the parent's and file's end
    bool truncated() const { return size < dataBytesDeclared(); }
    uint64_t dataBytesDeclared() const;
};

class RiffReader {
  public:
    explicit RiffReader(ByteSource& source) : source_(source) {}

    // The first top-level "RIFF" chunk whose form type is `form` (4 characters), or nullopt.
    std::optional<RiffChunk> DescendRiff(const char* form);
    // The first chunk with id `id` (4 characters) directly inside `parent`, or nullopt.
    std::optional<RiffChunk> Descend(const RiffChunk& parent, const char* id);
    // Copies up to `bytes` bytes of the chunk's data from `offset` (relative to the data start);
    // never past the chunk's usable size. Returns the count copied.
    std::size_t Read(const RiffChunk& chunk, uint64_t offset, void* dst, std::size_t bytes);

  private:
    // Reads the chunk header at `offset` whose data must end by `limit`.
    std::optional<RiffChunk> HeaderAt(uint64_t offset, uint64_t limit);
    ByteSource& source_;
};

}  // namespace fim
