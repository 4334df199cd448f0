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

Json calculation(const CalculationResult& c) {
    Json j;
    if (const auto* p = std::get_if<PropertyResult>(&c.what)) {
        Json prop = Json::array();
        for (const auto& v : p->prop) prop.push_back(value(v));
        j = Json{{"kind", "property"}, {"code", p->code}, {"routine", p->routine}, {"prop", prop}};
    } else if (const auto* f = std::get_if<FlashResult>(&c.what)) {
        j = Json{{"kind", "flash"},          {"ker", f->ker},         {"T", value(f->T)},
                 {"P", value(f->P)},         {"vcalc", value(f->vcalc)}, {"qcalc", value(f->qcalc)},
                 {"stream", stream(f->stream)}};
    } else if (const auto* b = std::get_if<BlockResult>(&c.what)) {
        Json heat = Json::array();
        for (const auto& h : b->heat_out) heat.push_back(value(h));
        Json outlets = Json::array();
        for (const auto& o : b->outlets) outlets.push_back(stream(o));
        j = Json{{"kind", "block"}, {"duty", value(b->duty)}, {"heat_out", heat}, {"outlets", outlets}};
    }
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
