// The results as text: per calculation a title line, the messages the host
// accepted, then the values; streams as a table with one column per
// substream and one row per quantity, component flows first.
#include <sstream>

#include "printers.hpp"
#include "table.hpp"

namespace eqlink_tool {
namespace {

std::string text(const Value& v) { return v ? format_number(*v, 10) : "-"; }

std::string severity_kind(long long s) {
    if (s <= 1) return "ERROR";
    if (s == 2) return "SEVERE WARNING";
    if (s == 3) return "WARNING";
    return "INFORMATION";
}

std::string title(std::size_t i, const Calculation& calc) {
    std::ostringstream t;
    t << "Calculation " << i + 1 << " (line " << calc.line << "): ";
    if (const auto* p = std::get_if<PropertyCalc>(&calc.what)) {
        t << "property " << p->code << " at T = " << format_number(p->T) << " K, P = " << format_number(p->P)
          << " Pa";
    } else if (const auto* f = std::get_if<FlashCalc>(&calc.what)) {
        t << (f->kode == 1 ? "PQ" : "TP") << " flash" << (f->chemistry ? " with chemistry" : "");
    } else if (const auto* b = std::get_if<BlockCalc>(&calc.what)) {
        t << "equilibrium block, calculation type " << b->type;
    }
    return t.str();
}

void stream_table(std::ostream& out, const StreamResult& st) {
    std::vector<std::string> headers{"Quantity"};
    for (const auto& [kind, s] : st) headers.push_back(kind);
    headers.push_back("Unit");
    Table t(headers);
    if (st.empty()) return;
    for (std::size_t k = 0; k < st.front().second.flows.size(); ++k) {
        std::vector<std::string> row{st.front().second.flows[k].first};
        for (const auto& [kind, s] : st) row.push_back(text(s.flows[k].second));
        row.push_back("kmol/s");
        t.row(row);
    }
    auto quantity = [&](const char* name, Value SubstreamResult::*field, const char* unit) {
        std::vector<std::string> row{name};
        for (const auto& [kind, s] : st) row.push_back(text(s.*field));
        row.push_back(unit);
        t.row(row);
    };
    quantity("total", &SubstreamResult::total, "kmol/s");
    quantity("T", &SubstreamResult::T, "K");
    quantity("P", &SubstreamResult::P, "Pa");
    quantity("h", &SubstreamResult::h, "J/kg");
    quantity("vfrac", &SubstreamResult::vfrac, "-");
    quantity("lfrac", &SubstreamResult::lfrac, "-");
    quantity("s", &SubstreamResult::s, "J/kg-K");
    quantity("rho", &SubstreamResult::rho, "kg/m3");
    quantity("mw", &SubstreamResult::mw, "kg/kmol");
    t.print(out, 4);
}

void values(std::ostream& out, const CalculationResult& c) {
    if (const auto* p = std::get_if<PropertyResult>(&c.what)) {
        out << "  " << p->routine << ", code " << p->code << '\n';
        Table t({"Slot", "Value"});
        for (std::size_t i = 0; i < p->prop.size(); ++i)
            if (p->prop[i]) t.row({"PROP(" + std::to_string(i + 1) + ")", text(p->prop[i])});
        if (t.empty()) out << "  no value written\n";
        else t.print(out);
    } else if (const auto* f = std::get_if<FlashResult>(&c.what)) {
        Table t({"Result", "Value", "Unit"});
        t.row({"KER", std::to_string(f->ker), ""});
        t.row({"T", text(f->T), "K"});
        t.row({"P", text(f->P), "Pa"});
        t.row({"vapour fraction", text(f->vcalc), "-"});
        t.row({"duty", text(f->qcalc), "W"});
        t.print(out);
        out << "  Stream\n";
        stream_table(out, f->stream);
    } else if (const auto* b = std::get_if<BlockResult>(&c.what)) {
        Table t({"Result", "Value", "Unit"});
        t.row({"duty", text(b->duty), "W"});
        for (std::size_t h = 0; h < b->heat_out.size(); ++h)
            t.row({"heat outlet " + std::to_string(h + 1), text(b->heat_out[h]), "W"});
        t.print(out);
        for (std::size_t m = 0; m < b->outlets.size(); ++m) {
            out << "  Outlet " << m + 1 << '\n';
            stream_table(out, b->outlets[m]);
        }
    }
}

}  // namespace

void print_tables(std::ostream& out, const Case& c, const CaseResult& r) {
    out << "Case " << r.case_name << " on " << r.data << " (report: " << r.report << ")\n";
    for (std::size_t i = 0; i < r.calculations.size() && i < c.calculations.size(); ++i) {
        const auto& calc = r.calculations[i];
        out << '\n' << title(i, c.calculations[i]) << (calc.failed ? "  -- FAILED: " + calc.failure : "") << '\n';
        for (const auto& m : calc.messages) {
            out << "  *** " << severity_kind(m.severity) << " in " << m.routine << ", message " << m.number
                << ", severity " << m.severity << '\n';
            for (const auto& line : m.lines) out << "  " << line << '\n';
        }
        if (!calc.engine_error.empty()) {
            out << "  EQCORE's last error\n";
            for (const auto& line : calc.engine_error) out << "    " << line << '\n';
        }
        if (!calc.terminal.empty()) {
            out << "  Terminal\n";
            for (const auto& line : calc.terminal) out << "    " << line << '\n';
        }
        // A failed calculation has no values to show: what the plug-in left
        // in its outputs is not a result.
        if (!calc.failed) values(out, calc);
    }
}

}  // namespace eqlink_tool
