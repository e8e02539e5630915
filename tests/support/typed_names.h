// Names each instantiation of a typed test suite by its parameter's Name, so
// that test names say which backend ran: FakeRegistry, RealFiles, ...
#pragma once

#include <string>

namespace purrbox::testing {

struct NamedByParameter {
    template <class T>
    static std::string GetName(int)
    {
        return T::Name;
    }
};

}  // namespace purrbox::testing
