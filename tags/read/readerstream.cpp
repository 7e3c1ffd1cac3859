#include "tags/read/readerstream.h"

#include <algorithm>

namespace zentrio {

ReaderStream::ReaderStream(const std::string& path)
    : m_path(path)
    , m_file(path)
{
}

TagLib::ByteVector ReaderStream::readBlock(unsigned long length)
{
    const long left = std::max(0L, static_cast<long>(m_file.length()) - m_position);
    constexpr unsigned long kMaxRead = 64ul * 1024 * 1024;
    const auto count = static_cast<std::size_t>(std::min<unsigned long>(length, static_cast<unsigned long>(left)));
    if (count == 0 || count > kMaxRead || !m_file.isOpen())
        return {};
    const auto bytes = m_file.readAt(m_position, count);
    if (!bytes)
        return {};
    m_position += static_cast<long>(count);
    return TagLib::ByteVector(bytes->data(), static_cast<unsigned int>(bytes->size()));
}

void ReaderStream::seek(long offset, Position from)
{
    const long base = from == Beginning ? 0 : from == Current ? m_position : static_cast<long>(m_file.length());
    m_position = std::max(0L, base + offset);
}

} // namespace zentrio
