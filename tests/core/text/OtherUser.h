#pragma once

#include <grp.h>
#include <sys/types.h>
#include <unistd.h>

#include <vector>

namespace vendrix::test {

/// While alive, runs the process with the effective identity of "nobody" (65534), without
/// supplementary groups, so that permission checks apply to a test that runs as root. Does
/// nothing (active() is false) when the process is not root.
class AsNobody {
public:
    static constexpr uid_t kUid = 65534;
    static constexpr gid_t kGid = 65534;

    AsNobody() {
        if (::geteuid() != 0)
            return;
        int count = ::getgroups(0, nullptr);
        m_groups.resize(static_cast<size_t>(count > 0 ? count : 0));
        if (count > 0)
            ::getgroups(count, m_groups.data());
        m_active = ::setgroups(0, nullptr) == 0 && ::setegid(kGid) == 0 && ::seteuid(kUid) == 0;
    }
    ~AsNobody() {
        if (::geteuid() != 0 && ::seteuid(0) == 0) {
            (void)::setegid(0);
            (void)::setgroups(m_groups.size(), m_groups.data());
        }
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;
    bool active() const { return m_active; }

private:
    bool m_active = false;
    std::vector<gid_t> m_groups;
};

} // namespace vendrix::test
