#pragma once

#include "platform/fs/fsops.h"

#include <taglib/tiostream.h>

#include <optional>
#include <string>
#include <string_view>

// A file opened for reading, as TagLib reads a stream: every read goes
// through the platform's positioned reads, never past the length the file
// had when it was opened and never more than 64 MiB at once (no metadata
// block is larger), so a damaged header that claims more bytes than that
// reads as damaged. Small reads are served from a window of 16 KiB read at
// once. Writes are refused: a reader never changes the file.
namespace zentrio {

class ReaderStream final : public TagLib::IOStream {
public:
    explicit ReaderStream(const std::string& path);

    bool isOpen() const override { return m_file.isOpen(); }
    const fs::FileIdentity& identity() const { return m_file.identity(); }
    const fs::FileReader& file() const { return m_file; }
    // Exactly `count` bytes from `offset`, through the window when they lie
    // in it; the position stays.
    std::optional<std::string> peek(long offset, std::size_t count);

    TagLib::FileName name() const override { return m_path.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override { }
    void insert(const TagLib::ByteVector&, unsigned long = 0, unsigned long = 0) override { }
    void removeBlock(unsigned long = 0, unsigned long = 0) override { }
    bool readOnly() const override { return true; }
    void seek(long offset, Position from = Beginning) override;
    long tell() const override { return m_position; }
    long length() override { return static_cast<long>(m_file.length()); }
    void truncate(long) override { }

private:
    // The bytes of the file from m_windowAt: TagLib reads a format's headers
    // a few bytes at a time, and each read of the window costs no call.
    std::optional<std::string_view> fromWindow(long offset, std::size_t count) const;
    void fillWindow(long offset);
    std::string m_path;
    fs::FileReader m_file;
    long m_position = 0;
    std::string m_window;
    long m_windowAt = 0;
};

} // namespace zentrio
