#pragma once

#include <stdexcept>
#include <string>

namespace fw {

// Raised by any call on a missing object, as the framework does.
class NilObjectException : public std::runtime_error {
public:
    explicit NilObjectException(const std::string& what = "NilObjectException")
        : std::runtime_error(what) {}
};

// Dereference guard: returns p, or raises NilObjectException when it is null.
template <class P>
P nn(P p, const char* what = "NilObjectException")
{
    if (!p)
        throw NilObjectException(what);
    return p;
}

} // namespace fw
