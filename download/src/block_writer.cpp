#include "block_writer.h"

#include <cstring>

#include "platform.h"

namespace dravlin {

BlockWriter::BlockWriter(AppendFile &file, std::size_t blockBytes) : file_(file), block_(blockBytes) {}

bool BlockWriter::Add(const char *data, std::size_t size) {
    if (held_ + size > block_.size() && !Flush()) return false;
    // A piece as large as a block gains nothing from the copy.
    if (size >= block_.size()) return WriteOut(data, size);
    std::memcpy(block_.data() + held_, data, size);
    held_ += size;
    return true;
}

bool BlockWriter::Flush() {
    std::size_t size = held_;
    held_ = 0;
    return size == 0 || WriteOut(block_.data(), size);
}

bool BlockWriter::WriteOut(const char *data, std::size_t size) {
    if (!file_.Write(data, size)) return false;
    written_ += static_cast<std::int64_t>(size);
    return true;
}

}  // namespace dravlin
