#include "vocab/control_sequence.h"

namespace vorsk {
namespace {

constexpr bool takes_two(ParamShape shape) {
    return shape == SHAPE_TWO_NUMERIC || shape == SHAPE_TWO_SELECTIVE;
}

bool arity_holds(ParamShape shape, std::size_t n) {
    switch (shape) {
        case SHAPE_ONE_NUMERIC:
        case SHAPE_ONE_SELECTIVE: return n == 1;
        case SHAPE_TWO_NUMERIC:
        case SHAPE_TWO_SELECTIVE: return n == 2;
        case SHAPE_NONE:
        case SHAPE_NUMERIC_LIST:
        case SHAPE_SELECTIVE_LIST: return true;
    }
    return true;
}

}  // namespace

std::size_t csi_arguments(const Sequence& s, const CsiFunction& function,
                          std::uint32_t (&values)[MAX_CSI_PARAMS]) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.n_params && n < MAX_CSI_PARAMS; ++i) {
        const Parameter& param = s.params[i];
        if (param.present) {
            values[n++] = param.value;
            continue;
        }
        const std::int32_t fallback =
            (n == 1 && takes_two(function.shape)) ? function.default2 : function.default1;
        if (fallback >= 0) values[n++] = static_cast<std::uint32_t>(fallback);
    }
    if (n == 0 && function.default1 != -1)
        values[n++] = static_cast<std::uint32_t>(function.default1);
    if (n == 1 && takes_two(function.shape))
        values[n++] = static_cast<std::uint32_t>(function.default2);
    return n;
}

void describe_control_sequence(const Sequence& s, LineWriter& w, bool extended) {
    const CsiLookup found = lookup_csi_function(s, extended);
    const CsiFunction& function = *found.function;
    if (!function.acronym.empty()) {
        // A literal's length is known here; a choice of two would be measured.
        constexpr std::string_view private_params = " (private params)";
        print_label(w, {csi_label(found), s.marker != 0 && !found.own_label ? private_params : ""});
    }
    if (!found.describes || function.handler == nullptr || !writer_shows(w, DESCRIPTION_LINE))
        return;
    std::uint32_t values[MAX_CSI_PARAMS];
    const CsiArguments args{.sequence = &s,
                            .count = csi_arguments(s, function, values),
                            .values = values,
                            .extended = extended};
    if (arity_holds(function.shape, args.count)) function.handler(args, w);
}

}  // namespace vorsk
