#include "tags/taglib/readerstream.h"

#include <algorithm>

namespace zentrio {

ReaderStream::ReaderStream(const std::string& path)
    : m_path(path)
    , m_file(path)
{
}

namespace {

    constexpr std::size_t kWindow = 16 * 1024;
    constexpr unsigned long kMaxRead = 64ul * 1024 * 1024;

} // namespace

TagLib::ByteVector ReaderStream::readBlock(unsigned long length)
{
    const long left = std::max(0L, static_cast<long>(m_file.length()) - m_position);
    const auto count = static_cast<std::size_t>(std::min<unsigned long>(length, static_cast<unsigned long>(left)));
    if (count == 0 || count > kMaxRead || !m_file.isOpen())
        return {};
    const auto bytes = peek(m_position, count);
    if (!bytes)
        return {};
    m_position += static_cast<long>(count);
    return TagLib::ByteVector(bytes->data(), static_cast<unsigned int>(bytes->size()));
}

std::optional<std::string> ReaderStream::peek(long offset, std::size_t count)
{
    if (count < kWindow && !fromWindow(offset, count))
        fillWindow(offset);
    if (const auto cached = fromWindow(offset, count))
        return std::string(*cached);
    return m_file.readAt(offset, count);
}

void ReaderStream::fillWindow(long offset)
{
    const long left = static_cast<long>(m_file.length()) - offset;
    if (left <= 0)
        return;
    if (auto window = m_file.readAt(offset, std::min<std::size_t>(kWindow, static_cast<std::size_t>(left)))) {
        m_window = std::move(*window);
        m_windowAt = offset;
    }
}

std::optional<std::string_view> ReaderStream::fromWindow(long offset, std::size_t count) const
{
    if (offset < m_windowAt || offset - m_windowAt + static_cast<long>(count) > static_cast<long>(m_window.size()))
        return std::nullopt;
    return std::string_view(m_window).substr(static_cast<std::size_t>(offset - m_windowAt), count);
}

void ReaderStream::seek(long offset, Position from)
{
    const long base = from == Beginning ? 0 : from == Current ? m_position : static_cast<long>(m_file.length());
    m_position = std::max(0L, base + offset);
}

} // namespace zentrio
