#pragma once

#include "platform/fs/fsops.h"

#include <taglib/tiostream.h>

#include <string>

// A file opened for reading, as TagLib reads a stream: every read goes
// through the platform's positioned reads, never past the length the file
// had when it was opened and never more than 64 MiB at once (no metadata
// block is larger), so a damaged header that claims more bytes than that
// reads as damaged. Writes are refused: a reader never changes the file.
namespace zentrio {

class ReaderStream final : public TagLib::IOStream {
public:
    explicit ReaderStream(const std::string& path);

    bool isOpen() const override { return m_file.isOpen(); }
    const fs::FileIdentity& identity() const { return m_file.identity(); }
    const fs::FileReader& file() const { return m_file; }

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
    std::string m_path;
    fs::FileReader m_file;
    long m_position = 0;
};

} // namespace zentrio
