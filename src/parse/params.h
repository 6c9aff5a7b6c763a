// The parameters of a control sequence in groups: a value and the parts
// that ":" joins to it ("38:2::255:0:0" is one group of six, its third part
// empty). Every reader of sub-parameters walks them with this, so that a
// group ends in one place for all of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "parse/sequence.h"

namespace vorsk {

// One group: its first value and the parts after it, empty parts kept.
struct ParamGroup {
    const Parameter* values = nullptr;
    std::size_t n = 0;

    bool present(std::size_t i) const { return i < n && values[i].present; }
    // Part i's value, or the fallback where it is empty or missing.
    std::uint32_t at(std::size_t i, std::uint32_t fallback = 0) const {
        return present(i) ? values[i].value : fallback;
    }
    // The parts after the first value.
    bool has_parts() const { return n > 1; }
};

// Walks params[0, n) a group at a time:
//   for (ParamGroups g{params, n}; !g.done(); g.next()) use(g.group());
struct ParamGroups {
    const Parameter* params = nullptr;
    std::size_t n = 0;
    std::size_t at = 0;    // where the current group begins
    std::size_t size = 0;  // its length, measured when it is reached

    ParamGroups(const Parameter* p, std::size_t count) : params(p), n(count) { measure(); }
    explicit ParamGroups(const Sequence& s) : ParamGroups(s.params, s.n_params) {}

    bool done() const { return at >= n; }
    ParamGroup group() const { return {params + at, size}; }
    void next() {
        at += size;
        measure();
    }
    // How many groups follow the current one, counted up to max.
    std::size_t groups_after(std::size_t max) const {
        std::size_t count = 0;
        for (std::size_t i = at + size; i < n && count < max; i += group_length(i)) ++count;
        return count;
    }

private:
    std::size_t group_length(std::size_t from) const {
        std::size_t j = from;
        while (j < n && params[j].ended_by == ':') ++j;
        return j < n ? j - from + 1 : j - from;
    }
    void measure() { size = at < n ? group_length(at) : 0; }
};

}  // namespace vorsk
