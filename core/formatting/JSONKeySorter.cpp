// Sorting object members by key: builds the write order of the tokens without recursing.
//
// Everything lives in a few flat arrays so that deeply nested or very large documents cost no
// per-object allocation: members of all objects in one array (linked per object while the scan
// runs), comment token indices in one pool (each member's trailing comments and each object's
// trailer form one contiguous run of it), and one record per closed object.
#include "core/formatting/FormatProgress.h"
#include "core/formatting/JSONFormatter.h"

#include <algorithm>
#include <cstring>

namespace vendrix {

namespace {

using Kind = JSONFormatter::Kind;
using Tok = JSONFormatter::Tok;

constexpr std::int32_t kNone = -1;
constexpr std::int32_t kInsertedComma = -1;

// A run of the comment pool.
struct Run {
    std::int32_t first = 0;
    std::int32_t count = 0;
};

// One object member: its tokens from the first leading comment (or the key) to the last token
// of the value, the comments after it that belong to it, its key and its input position.
struct Member {
    std::int32_t mainFirst;
    std::int32_t mainLast;
    Run trailing;
    std::int32_t key;
    std::int32_t position;
    std::int32_t next; // the next member of the same object, in input order
};

// The state of one open object during the scan.
struct Builder {
    std::int32_t open = kNone;
    std::int32_t firstMember = kNone;
    std::int32_t lastMember = kNone;
    std::int32_t memberCount = 0;
    std::int32_t memberStart = kNone;
    std::int32_t leadStart = kNone;
    std::int32_t key = kNone;
    std::int32_t valueEnd = kNone;
    Run trailing; // comments after the pending member's value
    bool afterComma = false;

    bool memberPending() const {
        return memberStart != kNone && key != kNone && valueEnd != kNone;
    }
};

// The result for one object: its members in sorted order (a range of the sorted-member array),
// the comments written after the last member, and its closing token.
struct Info {
    std::int32_t membersFirst;
    std::int32_t memberCount;
    Run trailer;
    std::int32_t close;
};

class Sorter {
public:
    Sorter(std::string_view bytes, std::span<const Tok> tokens, ProgressToken* token)
        : m_bytes(bytes), m_tokens(tokens), m_token(token), m_infoOfOpen(tokens.size(), kNone) {}

    // False when cancelled.
    bool scan();
    void sortMembers();
    std::vector<std::int32_t> expand();

private:
    void appendMember(Builder& b, Run trailing) {
        const auto index = static_cast<std::int32_t>(m_members.size());
        m_members.push_back(Member{b.memberStart, b.valueEnd, trailing, b.key, b.memberCount, kNone});
        if (b.lastMember == kNone)
            b.firstMember = index;
        else
            m_members[static_cast<std::size_t>(b.lastMember)].next = index;
        b.lastMember = index;
        ++b.memberCount;
        b.memberStart = b.leadStart = b.key = b.valueEnd = kNone;
    }
    // Appends a comment to `run`, which must end the pool; a run that does not (never the case
    // for comments that follow each other in an object) is first moved to the end.
    void appendComment(Run& run, std::int32_t comment) {
        if (run.count == 0) {
            run.first = static_cast<std::int32_t>(m_pool.size());
        } else if (run.first + run.count != static_cast<std::int32_t>(m_pool.size())) {
            const auto moved = static_cast<std::int32_t>(m_pool.size());
            for (std::int32_t k = 0; k < run.count; ++k)
                m_pool.push_back(m_pool[static_cast<std::size_t>(run.first + k)]);
            run.first = moved;
        }
        m_pool.push_back(comment);
        ++run.count;
    }
    void closeObject(Builder& b, std::int32_t close);
    bool keyLess(std::int32_t a, std::int32_t b) const {
        const Tok& ta = m_tokens[static_cast<std::size_t>(a)];
        const Tok& tb = m_tokens[static_cast<std::size_t>(b)];
        const std::size_t lengthA = ta.end - ta.start, lengthB = tb.end - tb.start;
        const int order = std::memcmp(m_bytes.data() + ta.start, m_bytes.data() + tb.start,
                                      std::min(lengthA, lengthB));
        return order != 0 ? order < 0 : lengthA < lengthB;
    }

    std::string_view m_bytes;
    std::span<const Tok> m_tokens;
    ProgressToken* m_token;
    std::vector<std::int32_t> m_infoOfOpen; // the Info of the object opened at each token
    std::vector<Member> m_members;
    std::vector<std::int32_t> m_sortedMembers;
    std::vector<std::int32_t> m_pool;
    std::vector<Info> m_infos;
};

void Sorter::closeObject(Builder& b, std::int32_t close) {
    Info info{static_cast<std::int32_t>(m_sortedMembers.size()), 0, Run{}, close};
    // Comments on lines of their own before the closing bracket belong to the object's end;
    // those on the pending member's last line stay with it.
    Run kept = b.trailing;
    for (std::int32_t k = 0; k < b.trailing.count; ++k) {
        const std::int32_t comment = m_pool[static_cast<std::size_t>(b.trailing.first + k)];
        if (m_tokens[static_cast<std::size_t>(comment)].newlineBefore) {
            kept.count = k;
            info.trailer = Run{b.trailing.first + k, b.trailing.count - k};
            break;
        }
    }
    if (b.memberPending())
        appendMember(b, kept);
    // Comments after the last comma that no member followed.
    if (b.leadStart != kNone)
        for (std::int32_t i = b.leadStart; i < close; ++i)
            appendComment(info.trailer, i);
    for (std::int32_t m = b.firstMember; m != kNone; m = m_members[static_cast<std::size_t>(m)].next)
        m_sortedMembers.push_back(m);
    info.memberCount = b.memberCount;
    m_infoOfOpen[static_cast<std::size_t>(b.open)] = static_cast<std::int32_t>(m_infos.size());
    m_infos.push_back(info);
}

bool Sorter::scan() {
    const auto count = static_cast<std::int32_t>(m_tokens.size());
    std::vector<std::uint8_t> isObject; // one flag per open container
    std::vector<Builder> stack;         // one builder per open object
    for (std::int32_t i = 0; i < count; ++i) {
        if ((i & 0xFFFF) == 0 && FormatProgress::isCancelled(m_token))
            return false;
        const Tok& tok = m_tokens[static_cast<std::size_t>(i)];
        switch (tok.kind) {
        case Kind::objOpen:
            isObject.push_back(1);
            stack.emplace_back();
            stack.back().open = i;
            continue;
        case Kind::arrOpen:
            isObject.push_back(0);
            continue;
        case Kind::objClose:
        case Kind::arrClose:
            if (isObject.empty())
                continue;
            if (isObject.back()) {
                closeObject(stack.back(), i);
                stack.pop_back();
            }
            isObject.pop_back();
            // A nested container completes its parent member's value.
            if (!isObject.empty() && isObject.back() && stack.back().memberStart != kNone)
                stack.back().valueEnd = i;
            continue;
        default:
            break;
        }
        if (isObject.empty() || !isObject.back())
            continue;
        Builder& b = stack.back();
        switch (tok.kind) {
        case Kind::string:
            if (b.memberStart == kNone) {
                b.memberStart = b.leadStart != kNone ? b.leadStart : i;
                b.key = i;
                b.leadStart = kNone;
                b.afterComma = false;
            } else {
                b.valueEnd = i;
            }
            break;
        case Kind::scalar:
            b.valueEnd = i;
            break;
        case Kind::comma:
            if (b.memberPending()) {
                appendMember(b, b.trailing);
                b.trailing = Run{};
            }
            b.afterComma = true;
            break;
        case Kind::lineComment:
        case Kind::blockComment:
            if (b.memberStart != kNone) {
                // Inside the member's span until its value is complete, trailing after it.
                if (b.valueEnd != kNone)
                    appendComment(b.trailing, i);
            } else {
                if (!tok.newlineBefore && b.afterComma && b.lastMember != kNone)
                    appendComment(m_members[static_cast<std::size_t>(b.lastMember)].trailing, i);
                else if (b.leadStart == kNone)
                    b.leadStart = i;
                b.afterComma = false;
            }
            break;
        default:
            break;
        }
    }
    return true;
}

void Sorter::sortMembers() {
    // Equal keys keep their input order through the position tie-break.
    for (const Info& info : m_infos) {
        if (info.memberCount < 2)
            continue;
        auto first = m_sortedMembers.begin() + info.membersFirst;
        std::sort(first, first + info.memberCount, [&](std::int32_t a, std::int32_t b) {
            const Member& ma = m_members[static_cast<std::size_t>(a)];
            const Member& mb = m_members[static_cast<std::size_t>(b)];
            if (keyLess(ma.key, mb.key))
                return true;
            if (keyLess(mb.key, ma.key))
                return false;
            return ma.position < mb.position;
        });
    }
}

std::vector<std::int32_t> Sorter::expand() {
    // An explicit stack of frames: a frame walks either a span of tokens in input order or the
    // plan of one sorted object (for each member: its span, a comma unless it is the last, its
    // trailing comments; then the trailer and the closing token).
    struct Frame {
        bool isPlan;
        std::int32_t info;  // plan: the object's Info
        std::int64_t cursor; // plan: the next step; span: the next token
        std::int64_t end;    // span: one past the last token
    };
    std::vector<std::int32_t> order;
    order.reserve(m_tokens.size() + m_tokens.size() / 8);
    std::vector<Frame> frames;
    frames.push_back(Frame{false, kNone, 0, static_cast<std::int64_t>(m_tokens.size())});
    auto appendRun = [&](Run run) {
        order.insert(order.end(), m_pool.begin() + run.first, m_pool.begin() + run.first + run.count);
    };
    while (!frames.empty()) {
        if ((order.size() & 0xFFFF) == 0 && FormatProgress::isCancelled(m_token))
            return {};
        Frame& frame = frames.back();
        if (!frame.isPlan) {
            if (frame.cursor >= frame.end) {
                frames.pop_back();
                continue;
            }
            const auto index = static_cast<std::int32_t>(frame.cursor);
            order.push_back(index);
            const std::int32_t info = m_infoOfOpen[static_cast<std::size_t>(index)];
            if (info == kNone) {
                ++frame.cursor;
                continue;
            }
            frame.cursor = m_infos[static_cast<std::size_t>(info)].close + 1;
            frames.push_back(Frame{true, info, 0, 0});
            continue;
        }
        const Info info = m_infos[static_cast<std::size_t>(frame.info)];
        const std::int64_t step = frame.cursor++;
        if (step < 3 * static_cast<std::int64_t>(info.memberCount)) {
            const std::int64_t slot = step / 3;
            const Member& member = m_members[static_cast<std::size_t>(
                m_sortedMembers[static_cast<std::size_t>(info.membersFirst + slot)])];
            switch (step % 3) {
            case 0:
                frames.push_back(Frame{false, kNone, member.mainFirst, member.mainLast + 1});
                break;
            case 1:
                if (slot + 1 < info.memberCount)
                    order.push_back(kInsertedComma);
                break;
            default:
                appendRun(member.trailing);
                break;
            }
            continue;
        }
        appendRun(info.trailer);
        order.push_back(info.close);
        frames.pop_back();
    }
    return order;
}

} // namespace

std::vector<std::int32_t> JSONFormatter::sortedWriteOrder(std::string_view bytes,
                                                          std::span<const Tok> tokens,
                                                          ProgressToken* progress) {
    Sorter sorter(bytes, tokens, progress);
    if (!sorter.scan())
        return {};
    sorter.sortMembers();
    return sorter.expand();
}

} // namespace vendrix
