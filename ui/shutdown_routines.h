// The routines that run once when the program ends. Portable: no Windows header.
#pragma once

#include <utility>
#include <vector>

namespace purrbox::ui {

class ShutdownRoutines {
public:
    using Routine = void (*)(void* context);

    // A routine registered a second time with the same context is ignored.
    void add(Routine routine, void* context)
    {
        const Entry entry{routine, context};
        for (const Entry& registered : routines_)
            if (registered == entry) return;
        routines_.push_back(entry);
    }

    // Runs them in the order of registration, each once; later calls run nothing.
    void runAll()
    {
        std::vector<Entry> routines;
        routines.swap(routines_);
        for (const auto& [routine, context] : routines) routine(context);
    }

private:
    using Entry = std::pair<Routine, void*>;
    std::vector<Entry> routines_;
};

}  // namespace purrbox::ui
