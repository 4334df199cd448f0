#include "data/read_functions.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "data/cp_to_gibbs.hpp"
#include "data/limits.hpp"
#include "data/record_fields.hpp"

namespace eqcore {

namespace {

std::string name_record(Lexer& lex, std::string_view what) {
    const std::vector<std::string_view> tokens = split_tokens(lex.text_line(what));
    return std::string(tokens.front());
}

LibraryFunction read_function(Lexer& lex, int index) {
    lex.set_context("function library, function " + std::to_string(index));
    LibraryFunction f;
    f.name = name_record(lex, "a function name");
    f.line = lex.line();
    const std::string label = "function " + f.name;
    lex.set_context(label);
    const int nranges = integer_in(lex, "number of ranges", 1, limits::kRanges);
    lex.end_record();
    const double h298 = lex.real("H298");
    const double s298 = lex.real("S298");
    if (!std::isfinite(h298) || !std::isfinite(s298)) lex.fail("H298, S298: not finite");
    lex.end_record();
    std::vector<CpRange> cp(static_cast<std::size_t>(nranges));
    for (int r = 1; r <= nranges; ++r) {
        lex.set_context(label + ", range " + std::to_string(r));
        CpRange& cr = cp[static_cast<std::size_t>(r - 1)];
        cr.tmax = lex.real("Tmax");
        if (!(cr.tmax > 0.0) || !std::isfinite(cr.tmax)) lex.fail("Tmax: expected a temperature > 0, found " + real_text(cr.tmax));
        if (r > 1 && !(cr.tmax > cp[static_cast<std::size_t>(r - 2)].tmax))
            lex.fail("Tmax: expected more than the previous range's " + real_text(cp[static_cast<std::size_t>(r - 2)].tmax) +
                     ", found " + real_text(cr.tmax));
        static constexpr double kExp[4] = {0.0, 1.0, 2.0, -2.0};
        for (int k = 0; k < 4; ++k) {
            const double c = lex.real("Cp coefficient", k + 1);
            if (!std::isfinite(c)) lex.fail("Cp coefficient " + std::to_string(k + 1) + ": not finite");
            cr.terms.push_back({c, kExp[k]});
        }
        lex.end_record();
        const int n = integer_in(lex, "number of extra Cp terms", 0, limits::kExtraTerms);
        for (int k = 1; k <= n; ++k) {
            const double c = lex.real("extra Cp term coefficient", k);
            const double e = lex.real("extra Cp term exponent", k);
            if (!std::isfinite(c)) lex.fail("extra Cp term coefficient " + std::to_string(k) + ": not finite");
            if (!(e > -1000.0 && e <= 19.0))
                lex.fail("extra Cp term exponent " + std::to_string(k) + ": expected -1000 to 19, found " + real_text(e));
            cr.terms.push_back({c, e});
        }
        lex.end_record();
    }
    f.ranges = cp_to_gibbs(h298, s298, cp);
    return f;
}

const GibbsRange& active_range(const std::vector<GibbsRange>& ranges, double tmax) {
    for (const GibbsRange& r : ranges)
        if (tmax <= r.tmax) return r;
    return ranges.back();
}

}  // namespace

std::vector<LibraryFunction> read_function_library(Lexer& lex) {
    lex.set_context("function library");
    const int n = integer_in(lex, "number of functions", 0, limits::kConstituents);
    for (int k = 1; k <= 3; ++k) lex.integer("library record integer", k);
    lex.end_record();
    std::vector<LibraryFunction> out;
    out.reserve(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k) {
        out.push_back(read_function(lex, k));
        for (int j = 0; j + 1 < k; ++j)
            if (out[static_cast<std::size_t>(j)].name == out.back().name)
                lex.fail_at(out.back().line, "function " + out.back().name + ": defined twice (first on line " +
                                                 std::to_string(out[static_cast<std::size_t>(j)].line) + ")");
    }
    return out;
}

std::vector<GibbsRange> read_function_references(Lexer& lex, std::vector<LibraryFunction>& library,
                                                 const std::string& label) {
    lex.set_context(label + ", function references");
    const int n = integer_in(lex, "number of references", 0, limits::kExtraTerms * limits::kRanges);
    const long long second = lex.integer("integer after the number of references");
    if (second != 0) lex.fail("integer after the number of references: expected 0, found " + std::to_string(second));
    lex.end_record();
    if (n == 0) return {};
    std::vector<const std::vector<GibbsRange>*> functions;
    std::vector<double> multipliers;
    for (int k = 1; k <= n; ++k) {
        lex.set_context(label + ", reference " + std::to_string(k));
        lex.integer("function number");
        lex.integer("reference integer", 1);
        lex.integer("reference integer", 2);
        const double m = lex.real("multiplier");
        if (!std::isfinite(m)) lex.fail("multiplier: not finite");
        lex.end_record();
        const std::string name = name_record(lex, "a function name");
        auto it = std::find_if(library.begin(), library.end(), [&](const LibraryFunction& f) { return f.name == name; });
        if (it == library.end()) lex.fail("function name: expected a function of the library, found '" + name + "'");
        it->used = true;
        functions.push_back(&it->ranges);
        multipliers.push_back(m);
    }
    try {
        return sum_of_functions(functions, multipliers);
    } catch (const std::length_error& e) {
        lex.fail(e.what());
    }
}

std::vector<GibbsRange> sum_of_functions(const std::vector<const std::vector<GibbsRange>*>& functions,
                                         const std::vector<double>& multipliers) {
    std::vector<double> limits_t;
    for (const auto* f : functions)
        for (const GibbsRange& r : *f) limits_t.push_back(r.tmax);
    std::sort(limits_t.begin(), limits_t.end());
    limits_t.erase(std::unique(limits_t.begin(), limits_t.end()), limits_t.end());
    std::vector<GibbsRange> out;
    out.reserve(limits_t.size());
    for (double t : limits_t) {
        GibbsRange sum;
        sum.tmax = t;
        for (std::size_t k = 0; k < functions.size(); ++k) {
            const GibbsRange& r = active_range(*functions[k], t);
            const double m = multipliers[k];
            for (std::size_t c = 0; c < 6; ++c) sum.coef[c] += m * r.coef[c];
            for (const ExtraTerm& x : r.extra) {
                auto same = std::find_if(sum.extra.begin(), sum.extra.end(), [&](const ExtraTerm& y) { return y.e == x.e; });
                if (same != sum.extra.end()) {
                    same->c += m * x.c;
                } else {
                    sum.extra.push_back({m * x.c, x.e});
                }
            }
        }
        std::erase_if(sum.extra, [](const ExtraTerm& x) { return x.c == 0.0; });
        if (sum.extra.size() > static_cast<std::size_t>(limits::kExtraTerms))
            throw std::length_error("the referenced functions give more than " + std::to_string(limits::kExtraTerms) +
                                    " extra terms in the range up to " + real_text(t) + " K");
        out.push_back(std::move(sum));
    }
    return out;
}

}  // namespace eqcore
