// The streaming JSON formatter: tokenizing, checking and writing in one pass, without a token
// array, for unsorted pretty and minified output.
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONScan.h"
#include "core/formatting/JSONStreamSink.h"

namespace vendrix {

template <bool Pretty>
void JSONStreamSink<Pretty>::regrowLineRun(std::uint64_t indentBytes) {
    const std::uint64_t target = 2 * indentBytes;
    std::string run = m_unit;
    run.reserve(target);
    while (run.size() < target)
        run.append(run, 0, std::min<std::uint64_t>(run.size(), target - run.size()));
    m_lineRun = "\n" + run;
    m_lineRunUsable = m_lineRun.size();
    m_lineRun.resize(std::max<std::size_t>(m_lineRun.size(), kShortLine), ' ');
}

template <bool Pretty>
bool JSONStreamSink<Pretty>::copyLong(std::uint32_t start, std::size_t length) {
    ensure(length + kSlack);
    for (std::size_t done = 0; done < length; done += kSlice) {
        std::memcpy(m_data + m_size + done, m_src + start + done, std::min(kSlice, length - done));
        if (length - done > kSlice && FormatProgress::currentIsCancelled())
            return false;
    }
    m_size += length;
    return true;
}

template <bool Pretty>
bool JSONStreamSink<Pretty>::comment(std::uint32_t start, std::uint32_t end, Kind kind,
                                     bool newlineBefore) {
    ensure(kSlack);
    if (m_openPending) {
        // A comment right after a bracket: the container is not written as empty.
        m_openPending = false;
        ++m_depth;
        m_pending = Pending::newline;
    }
    if (m_size == 0) {
        m_pending = Pending::newline;
    } else if (newlineBefore) {
        if (!newline())
            return tooLarge(start);
        m_pending = Pending::newline;
    } else {
        m_data[m_size++] = ' ';
        if (kind == Kind::lineComment)
            m_pending = Pending::newline;
    }
    if (!copy(start, end))
        return fail(FormatProgress::cancelledError(), false);
    return m_size <= m_limit || tooLarge(start);
}

template class JSONStreamSink<true>;
template class JSONStreamSink<false>;

namespace {

template <bool Pretty>
std::expected<std::string, FormatError> stream(std::string_view bytes, std::string unit) {
    JSONStreamSink<Pretty> sink(bytes, std::move(unit));
    if (auto failure = jsonScan::scan(bytes, sink, 1.0)) {
        // A grammar or size failure stands only when no tokenizer error follows it.
        if (sink.failed() && sink.failureNeedsRecheck()) {
            if (auto checked = JSONFormatter::validateUTF8(bytes); !checked)
                return std::unexpected(std::move(checked.error()));
        }
        return std::unexpected(std::move(*failure));
    }
    return sink.finish();
}

} // namespace

std::expected<std::string, FormatError> JSONFormatter::streamUTF8(
    std::string_view bytes, std::optional<FormatIndent> indent) {
    if (bytes.size() > maxInputBytes)
        return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
    if (indent)
        return stream<true>(bytes, indent->unit());
    return stream<false>(bytes, std::string());
}

} // namespace vendrix
