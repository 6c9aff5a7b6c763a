#include "report/check.h"

#include <cinttypes>

#include "report/raw_output.h"

namespace vorsk {
namespace {

void begin_json(CheckReport& r) {
    if (r.begun) return;
    r.begun = true;
    raw(*r.writer, "{\"terminal\":");
    json_string(*r.writer, r.term);
    raw(*r.writer, ",\"findings\":[");
}

}  // namespace

void report_finding(void* arg, const Finding& f) {
    CheckReport& r = *static_cast<CheckReport*>(arg);
    LineWriter& w = *r.writer;
    const std::string_view id = check_rules[f.rule].id;
    if (r.json) {
        begin_json(r);
        out(w, "%s\n{\"offset\":%" PRIu64, r.written == 0 ? "" : ",", f.offset);
        if (f.timed) out(w, ",\"time\":%f", f.time);
        raw(w, ",\"rule\":");
        json_string(w, id);
        raw(w, ",\"bytes\":");
        json_string(w, f.bytes);
        raw(w, ",\"why\":");
        json_string(w, f.detail);
        raw(w, "}");
    } else {
        out(w, "offset %" PRIu64, f.offset);
        if (f.timed) out(w, " at %f s", f.time);
        out(w, ": %.*s: %.*s: %.*s\n", static_cast<int>(id.size()), id.data(),
            static_cast<int>(f.bytes.size()), f.bytes.data(), static_cast<int>(f.detail.size()),
            f.detail.data());
    }
    ++r.written;
}

void write_check_report(CheckReport& r, const CheckView& view) {
    LineWriter& w = *r.writer;
    const std::uint64_t total = check_total(view);
    if (r.json) {
        begin_json(r);
        raw(w, "\n],\"counts\":{");
        bool first = true;
        for (const CheckRuleInfo& rule : check_rules) {
            if (view.counts[rule.rule] == 0) continue;
            raw(w, first ? "" : ",");
            json_string(w, rule.id);
            out(w, ":%" PRIu64, view.counts[rule.rule]);
            first = false;
        }
        out(w, "},\"total\":%" PRIu64 "}\n", total);
        return;
    }
    out(w, "%s: %" PRIu64 " finding%s\n", r.term, total, total == 1 ? "" : "s");
    for (const CheckRuleInfo& rule : check_rules) {
        if (view.counts[rule.rule] == 0) continue;
        out(w, "  %-16.*s %10" PRIu64 "  %.*s\n", static_cast<int>(rule.id.size()), rule.id.data(),
            view.counts[rule.rule], static_cast<int>(rule.title.size()), rule.title.data());
    }
}

}  // namespace vorsk
