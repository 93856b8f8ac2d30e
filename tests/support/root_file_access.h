#pragma once

// Root writes into any folder, whatever its mode. For as long as a
// WithoutRootFileAccess lives, the calling thread (which does every file
// operation of a test) gives up that power, so a read-only folder is one.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvel::test {

class WithoutRootFileAccess {
public:
    WithoutRootFileAccess()
    {
        if (geteuid() != 0)
            return;
        m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        m_dropped = syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutRootFileAccess()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

} // namespace quorvel::test
