// Sorting object members by key: builds the write order of the tokens without recursing.
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

// One object member: its tokens from the first leading comment (or the key) to the last token
// of the value, the comments after it that belong to it, its key and its input position.
struct Member {
    std::int32_t mainFirst;
    std::int32_t mainLast;
    std::vector<std::int32_t> trailing;
    std::int32_t key;
    std::int32_t position;
};

// The state of one open container during the scan.
struct Builder {
    bool isObject = false;
    std::int32_t open = kNone;
    std::vector<Member> members;
    std::int32_t memberStart = kNone;
    std::int32_t leadStart = kNone;
    std::int32_t key = kNone;
    std::int32_t valueEnd = kNone;
    std::vector<std::int32_t> trailing;
    bool afterComma = false;

    bool memberPending() const {
        return memberStart != kNone && key != kNone && valueEnd != kNone;
    }
    void appendMember(std::vector<std::int32_t> comments) {
        members.push_back(Member{memberStart, valueEnd, std::move(comments), key,
                                 static_cast<std::int32_t>(members.size())});
        memberStart = leadStart = key = valueEnd = kNone;
    }
};

// The result for one object: its members (sorted once the object closes), the comments written
// after the last member, and its closing token.
struct Info {
    std::vector<Member> members;
    std::vector<std::int32_t> trailer;
    std::int32_t close;
};


// Raw key bytes compared as unsigned bytes, a proper prefix first.
bool keyLess(std::string_view bytes, const Tok& a, const Tok& b) {
    const std::size_t lengthA = a.end - a.start, lengthB = b.end - b.start;
    const int order = std::memcmp(bytes.data() + a.start, bytes.data() + b.start,
                                  std::min(lengthA, lengthB));
    return order != 0 ? order < 0 : lengthA < lengthB;
}

void closeObject(Builder& builder, std::int32_t close, std::span<const Tok> tokens,
                 std::vector<Info>& infos) {
    Info info;
    info.close = close;
    // Comments on lines of their own before the closing bracket belong to the object's end.
    auto split = std::find_if(builder.trailing.begin(), builder.trailing.end(),
                              [&](std::int32_t i) { return tokens[i].newlineBefore; });
    info.trailer.assign(split, builder.trailing.end());
    builder.trailing.erase(split, builder.trailing.end());
    if (builder.memberPending())
        builder.appendMember(std::move(builder.trailing));
    if (builder.leadStart != kNone)
        for (std::int32_t i = builder.leadStart; i < close; ++i)
            info.trailer.push_back(i);
    info.members = std::move(builder.members);
    infos.push_back(std::move(info));
}

} // namespace

std::vector<std::int32_t> JSONFormatter::sortedWriteOrder(std::string_view bytes,
                                                          std::span<const Tok> tokens) {
    const auto count = static_cast<std::int32_t>(tokens.size());
    std::vector<Info> infos;
    // The Info of the object opened at each token, or kNone.
    std::vector<std::int32_t> infoOfOpen(tokens.size(), kNone);
    std::vector<Builder> stack;

    for (std::int32_t i = 0; i < count; ++i) {
        if ((i & 0xFFFF) == 0 && FormatProgress::currentIsCancelled())
            return {};
        const Tok& tok = tokens[static_cast<std::size_t>(i)];
        if (tok.kind == Kind::objOpen || tok.kind == Kind::arrOpen) {
            stack.push_back(Builder{});
            stack.back().isObject = tok.kind == Kind::objOpen;
            stack.back().open = i;
            continue;
        }
        if (stack.empty())
            continue;
        if (tok.kind == Kind::objClose || tok.kind == Kind::arrClose) {
            Builder& builder = stack.back();
            if (builder.isObject) {
                infoOfOpen[static_cast<std::size_t>(builder.open)] =
                    static_cast<std::int32_t>(infos.size());
                closeObject(builder, i, tokens, infos);
            }
            stack.pop_back();
            if (!stack.empty() && stack.back().isObject && stack.back().memberStart != kNone)
                stack.back().valueEnd = i;
            continue;
        }
        Builder& b = stack.back();
        if (!b.isObject)
            continue;
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
                b.appendMember(std::move(b.trailing));
                b.trailing.clear();
            }
            b.afterComma = true;
            break;
        case Kind::lineComment:
        case Kind::blockComment:
            if (b.memberStart != kNone) {
                if (b.valueEnd != kNone)
                    b.trailing.push_back(i);
            } else {
                if (!tok.newlineBefore && b.afterComma && !b.members.empty())
                    b.members.back().trailing.push_back(i);
                else if (b.leadStart == kNone)
                    b.leadStart = i;
                b.afterComma = false;
            }
            break;
        default:
            break;
        }
    }

    for (Info& info : infos)
        std::stable_sort(info.members.begin(), info.members.end(),
                         [&](const Member& a, const Member& b) {
                             return keyLess(bytes, tokens[a.key], tokens[b.key]);
                         });

    // Expand the plans with an explicit stack of frames: a frame walks either a span of tokens
    // in input order or the plan of one sorted object.
    struct Frame {
        bool isPlan;
        std::int32_t info;  // plan: the object's Info
        std::size_t cursor; // plan: position in the plan's steps; span: next token
        std::int32_t end;   // span: one past the last token
    };
    std::vector<std::int32_t> order;
    order.reserve(tokens.size() + tokens.size() / 8);
    std::vector<Frame> frames;
    frames.push_back(Frame{false, kNone, 0, count});
    while (!frames.empty()) {
        if ((order.size() & 0xFFFF) == 0 && FormatProgress::currentIsCancelled())
            return {};
        Frame& frame = frames.back();
        if (!frame.isPlan) {
            if (static_cast<std::int32_t>(frame.cursor) >= frame.end) {
                frames.pop_back();
                continue;
            }
            const auto index = static_cast<std::int32_t>(frame.cursor);
            order.push_back(index);
            const std::int32_t info = infoOfOpen[frame.cursor];
            if (info == kNone) {
                ++frame.cursor;
                continue;
            }
            frame.cursor = static_cast<std::size_t>(infos[static_cast<std::size_t>(info)].close) + 1;
            frames.push_back(Frame{true, info, 0, 0});
            continue;
        }
        // A plan's steps: for each member three (main span, comma, trailing comments), then
        // the trailer and the closing token.
        const Info& info = infos[static_cast<std::size_t>(frame.info)];
        const std::size_t memberCount = info.members.size();
        const std::size_t step = frame.cursor++;
        if (step < 3 * memberCount) {
            const Member& member = info.members[step / 3];
            switch (step % 3) {
            case 0:
                frames.push_back(Frame{false, kNone, static_cast<std::size_t>(member.mainFirst),
                                       member.mainLast + 1});
                break;
            case 1:
                if (step / 3 + 1 < memberCount)
                    order.push_back(kInsertedComma);
                break;
            default:
                order.insert(order.end(), member.trailing.begin(), member.trailing.end());
                break;
            }
            continue;
        }
        order.insert(order.end(), info.trailer.begin(), info.trailer.end());
        order.push_back(info.close);
        frames.pop_back();
    }
    return order;
}

} // namespace vendrix
