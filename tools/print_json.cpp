// The JSON results: {"case", "data", "calculations": [...]}, every missing
// value null, keys in the documented order.
#include <nlohmann/json.hpp>

#include "printers.hpp"

namespace eqlink_tool {
namespace {

using Json = nlohmann::ordered_json;

Json value(const Value& v) { return v ? Json(*v) : Json(nullptr); }

Json substream(const SubstreamResult& s) {
    Json flows = Json::object();
    for (const auto& [id, f] : s.flows) flows[id] = value(f);
    return Json{{"flows", flows},       {"total", value(s.total)}, {"T", value(s.T)},
                {"P", value(s.P)},      {"h", value(s.h)},         {"vfrac", value(s.vfrac)},
                {"lfrac", value(s.lfrac)}, {"s", value(s.s)},      {"rho", value(s.rho)},
                {"mw", value(s.mw)}};
}

Json stream(const StreamResult& st) {
    Json j = Json::object();
    for (const auto& [kind, s] : st) j[kind] = substream(s);
    return j;
}

Json messages(const std::vector<MessageResult>& ms) {
    Json a = Json::array();
    for (const auto& m : ms)
        a.push_back(Json{{"routine", m.routine}, {"severity", m.severity}, {"number", m.number}, {"lines", m.lines}});
    return a;
}

// A failed calculation has every result null: what the plug-in left in its
// outputs is not a result.
Json calculation(const CalculationResult& c) {
    const bool ok = !c.failed;
    Json j;
    if (const auto* p = std::get_if<PropertyResult>(&c.what)) {
        Json prop = Json::array();
        for (const auto& v : p->prop) prop.push_back(value(v));
        j = Json{{"kind", "property"}, {"code", p->code}, {"routine", p->routine}, {"prop", ok ? prop : nullptr}};
    } else if (const auto* f = std::get_if<FlashResult>(&c.what)) {
        j = Json{{"kind", "flash"},
                 {"ker", f->ker},
                 {"T", ok ? value(f->T) : nullptr},
                 {"P", ok ? value(f->P) : nullptr},
                 {"vcalc", ok ? value(f->vcalc) : nullptr},
                 {"qcalc", ok ? value(f->qcalc) : nullptr},
                 {"stream", ok ? stream(f->stream) : nullptr}};
    } else if (const auto* b = std::get_if<BlockResult>(&c.what)) {
        Json heat = Json::array();
        for (const auto& h : b->heat_out) heat.push_back(value(h));
        Json outlets = Json::array();
        for (const auto& o : b->outlets) outlets.push_back(stream(o));
        j = Json{{"kind", "block"},
                 {"duty", ok ? value(b->duty) : nullptr},
                 {"heat_out", ok ? heat : nullptr},
                 {"outlets", ok ? outlets : nullptr}};
    }
    j["failed"] = c.failed;
    j["failure"] = ok ? Json(nullptr) : Json(c.failure);
    j["engine_error"] = c.engine_error;
    j["messages"] = messages(c.messages);
    return j;
}

}  // namespace

void print_json(std::ostream& out, const CaseResult& r) {
    Json calcs = Json::array();
    for (const auto& c : r.calculations) calcs.push_back(calculation(c));
    const Json doc{{"case", r.case_name}, {"data", r.data}, {"calculations", calcs}};
    out << doc.dump(2) << '\n';
}

}  // namespace eqlink_tool
