// Product selection: which engine phases and constituents may form, from the
// block's product list. An empty list enters every phase; otherwise every
// phase is eliminated and each name enters what it selects: a keyword (GAS,
// LIQ, SOL) a class of phases, a phase name or solution code that phase, a
// host component ID its constituent (or its whole solution phase). For a
// target calculation the first name also chooses the target.
#include <algorithm>
#include <cctype>
#include <string>

#include "block_stages.hpp"
#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "map_lookup.hpp"
#include "messages.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kMsgNoTarget = 7;
constexpr ftn::Int kMsgEnterAll = 8;
constexpr ftn::Int kMsgEliminateAll = 9;
constexpr ftn::Int kMsgLiquidTarget = 12;
constexpr ftn::Int kMsgSolidTarget = 16;
constexpr ftn::Int kMsgComponentUnmapped = 28;
constexpr ftn::Int kMsgNoMatch = 33;

constexpr ftn::Int kStageStatusReset = 3;
constexpr ftn::Int kStageProducts = 4;

constexpr ftn::Len kNameField = 70;
using NameField = ftn::Chars<kNameField>;

// Steps recorded when an engine call of the gas keyword fails.
constexpr ftn::Int kStepGas = 10;

// What a keyword for pure phases enters, and the steps its calls record.
struct PureClass {
    ftn::Int kind;            // phase kind of the map records entered
    std::string_view status;  // status word passed to the engine
    ftn::Int target_message;  // the class cannot be a target
    ftn::Int step_model, step_count, step_enter;
    std::string_view done;    // trace line after the class
};
constexpr PureClass kLiquids{2, "ENTERED ", kMsgLiquidTarget, 13, 14, 15, "All liquids activated."};
constexpr PureClass kSolids{3, "ENTERED", kMsgSolidTarget, 16, 17, 18, "All solids activated."};

// How a name matched a phase, and the steps its engine calls record.
struct PhaseMatch {
    ftn::Chars<kPhaseNameLength> name;  // passed to ECPIX
    ftn::Int step_index, step_enter, step_target, step_status;
};

void no_target(const BlockState& s) {
    message(s, 1, kMsgNoTarget,
            {message_line("A target option was selected, but no target was specified in the"),
             message_line("product list.")});
}

// Texts compared as blank-padded to the longer of the two.
bool same_padded(std::string_view a, std::string_view b) {
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char ca = i < a.size() ? a[i] : ' ';
        const char cb = i < b.size() ? b[i] : ' ';
        if (ca != cb) return false;
    }
    return true;
}

std::string upper(std::string_view text) {
    std::string u(text);
    for (char& ch : u) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return u;
}

void trace_search(ftn::Int i, const NameField& name, ftn::Int length) {
    if (tracing())
        trace({"    Searching for string" + fmt90::I(i, 5) + "     " +
               std::string(name.full().substr(0, 24)) + "     lenth=" + fmt90::I(length, 5)});
}

void set_phase_status(BlockState& s, ftn::Int phase, std::string_view status) {
    PPSTUB_ECSPS(&phase, status.data(), &s.NOERR, status.size());
}

void set_constituent_status(BlockState& s, ftn::Int phase, ftn::Int constituent, std::string_view status) {
    PPSTUB_ECSCS(&phase, &constituent, status.data(), &s.NOERR, status.size());
}

void set_target(BlockState& s, ftn::Int phase) {
    const ftn::Int index = phase;
    PPSTUB_ECSCND("A ", &index, &s.TARAMT, &s.NOERR, 2);
}

ftn::Chars<kPhaseNameLength> phase_model(BlockState& s, ftn::Int phase) {
    ftn::Chars<kPhaseNameLength> model;
    model.assign("");
    PPSTUB_ECMODL(&phase, model.c, &s.NOERR, model.size());
    return model;
}

Stage products_failure(const BlockState& s) {
    eqcore_failure(s, s.ISTEP, kStageProducts);
    return Stage::stop;
}

// Every phase to one status; the first failure ends the block.
Stage set_every_phase(BlockState& s, std::string_view status, ftn::Int failure_message) {
    const ftn::Int nph = phase_count();
    for (ftn::Int p = 1; p <= nph; ++p) {
        set_phase_status(s, p, status);
        if (s.NOERR != 0) {
            eqcore_failure(s, failure_message, kStageStatusReset);
            return Stage::stop;
        }
    }
    return Stage::proceed;
}

// "GAS": the gas phase as a whole.
Stage enter_gases(BlockState& s, bool target, bool& found) {
    set_phase_status(s, 1, "ENTERED ");
    if (s.NOERR != 0) {
        s.ISTEP = kStepGas;
        return products_failure(s);
    }
    found = true;
    if (target) {
        set_target(s, 1);
        s.ITPH = 1;
        s.ITCON = 0;
        s.ISTEP = kStepGas;
        if (s.NOERR != 0) return products_failure(s);
    }
    if (tracing()) trace({"All gases activated."});
    return Stage::proceed;
}

// "LIQ" and "SOL": in every pure phase, each constituent whose map record
// has the class's phase kind.
Stage enter_pure_class(BlockState& s, const PureClass& cls, bool target, bool& found) {
    if (target) {
        message(s, 1, cls.target_message,
                {message_line("Target calculations are not possible for this target phase.")});
        return Stage::stop;
    }
    const ftn::Int nph = phase_count();
    for (ftn::Int p = 2; p <= nph; ++p) {
        const auto model = phase_model(s, p);
        if (s.NOERR != 0) s.ISTEP = cls.step_model;
        ftn::Int n = 0;
        PPSTUB_ECNPC(&p, &n, &s.NOERR);
        if (s.NOERR != 0) {
            s.ISTEP = cls.step_count;
            n = 0;
        }
        if (model.full().substr(0, 4) != "PURE") continue;
        for (ftn::Int con = 1; con <= n; ++con) {
            ftn::Int k = 0;
            const ftn::Int r = FNDCMP(p, con, k);
            if (r == 0 || map_record(r).kind != cls.kind) continue;
            set_constituent_status(s, p, con, cls.status);
            if (s.NOERR != 0) {
                s.ISTEP = cls.step_enter;
                return products_failure(s);
            }
            found = true;
        }
    }
    if (tracing()) trace({cls.done});
    return Stage::proceed;
}

// The phases from 2 on, each by its upper-cased name and then by every
// solution code, until one matches.
bool search_phases(const NameField& name, ftn::Int length, PhaseMatch& match) {
    const ftn::Int nph = phase_count();
    const std::string_view head = name.full().substr(0, static_cast<std::size_t>(length));
    const ftn::Int ndict = std::clamp<ftn::Int>(EQLINK_ELVCA.NDICT, 0, kMaxDict);
    for (ftn::Int p = 2; p <= nph; ++p) {
        if (tracing()) trace({"       Looking at Phase     " + std::string(phname(p).full())});
        if (same_padded(head, upper(phname(p).text()))) {
            match = {phname(p), 21, 22, 0, 23};
            return true;
        }
        for (ftn::Int d = 1; d <= ndict; ++d) {
            if (same_padded(name.full(), dcode(d).full())) {
                match = {dname(d), 24, 25, 26, 27};
                return true;
            }
        }
    }
    return false;
}

// A matched phase entered as a whole; the target when it is the first name.
Stage enter_phase(BlockState& s, const PhaseMatch& match, bool target, bool& found) {
    ftn::Int q = 0;
    PPSTUB_ECPIX(match.name.c, &q, &s.NOERR, match.name.size());
    if (s.NOERR != 0) s.ISTEP = match.step_index;
    found = true;
    set_phase_status(s, q, "ENTERED ");
    if (s.NOERR != 0) {
        s.ISTEP = match.step_enter;
        return products_failure(s);
    }
    if (target) {
        set_target(s, q);
        if (s.NOERR != 0 && match.step_target != 0) s.ISTEP = match.step_target;
        s.ITPH = q;
        s.ITCON = 0;
    }
    ftn::Chars<kPhaseNameLength> status;
    status.assign("");
    PPSTUB_ECGPS(&q, status.c, &s.NOERR, status.size());
    if (s.NOERR != 0) s.ISTEP = match.step_status;
    if (tracing())
        trace({"          " + std::string(" ====> Active. ") + fmt90::I(q, 3) + " " +
               std::string(status.full())});
    return Stage::proceed;
}

// A host component ID: its constituent entered, or its whole phase when
// that is a solution of the QUAS or QSOL model.
Stage enter_component(BlockState& s, const NameField& name, ftn::Int length, bool target, bool& found) {
    const std::string_view head = name.full().substr(0, static_cast<std::size_t>(length));
    for (ftn::Int k = 1; k <= s.NC; ++k) {
        const std::string id = component_id(s, k);
        if (!same_padded(head, ftn::trim_right(id))) continue;
        ftn::Int q = 0, con = 0;
        if (FNDMAP(k, q, con) == 0) {
            message(s, 1, kMsgComponentUnmapped,
                    {message_line("Attempt to use an Elvar component as a product in "),
                     message_line("EQCORE block - Component ID is " + id)});
            return Stage::stop;
        }
        const auto model = phase_model(s, q);
        if (s.NOERR != 0) s.ISTEP = 29;
        if (model.text() == "QUAS" || model.text() == "QSOL") {
            set_phase_status(s, q, "ENTERED ");
            if (s.NOERR != 0) s.ISTEP = 30;
        } else {
            set_constituent_status(s, q, con, "ENTERED ");
            if (s.NOERR != 0) s.ISTEP = 31;
        }
        if (target) {
            set_target(s, q);
            if (s.NOERR != 0) s.ISTEP = 32;
            s.ITPH = q;
            s.ITCON = con;
        }
        found = true;
        if (tracing()) trace({"          " + std::string(" ====> Active.")});
        return Stage::proceed;
    }
    return Stage::proceed;
}

// Name i of the list: what it selects is entered.
Stage select_name(BlockState& s, ftn::Int i) {
    s.ISTEP = 0;
    bool found = false;
    NameField name;
    name.assign("");
    ftn::Int length = 0;
    USRUTL_GETCSTR(&i, name.c, &length, name.size());
    trace_search(i, name, length);
    const bool target = i == 1 && s.ICALC >= 3;
    if (length == 0) {
        // A target calculation whose first name is empty has no target.
        if (target) {
            no_target(s);
            return Stage::stop;
        }
        return Stage::proceed;
    }
    const ftn::Int used = std::clamp<ftn::Int>(length, 0, static_cast<ftn::Int>(kNameField));

    const std::string_view keyword = name.full().substr(0, 3);
    Stage stage = Stage::proceed;
    if (keyword == "GAS")
        stage = enter_gases(s, target, found);
    else if (keyword == "LIQ")
        stage = enter_pure_class(s, kLiquids, target, found);
    else if (keyword == "SOL")
        stage = enter_pure_class(s, kSolids, target, found);
    if (stage == Stage::stop) return stage;

    PhaseMatch match{};
    if (phase_count() > 1 && !found && i <= s.NPHNAM && search_phases(name, used, match)) {
        if (enter_phase(s, match, target, found) == Stage::stop) return Stage::stop;
    }
    trace_search(i, name, length);

    if (!found && enter_component(s, name, used, target, found) == Stage::stop) return Stage::stop;
    if (!found) {
        const bool shown =
            message(s, 1, kMsgNoMatch,
                    {message_line("Could not match product name " + std::string(name.full().substr(0, 24)) +
                                  " with component ID"),
                     message_line("or EQCORE phase name.")});
        if (shown) return Stage::stop;
    }
    if (s.NOERR != 0) return products_failure(s);
    return Stage::proceed;
}

}  // namespace

Stage select_products(BlockState& s) {
    ftn::Int NSTR = 0;
    USRUTL_NUMSTR(&NSTR);
    if (NSTR <= 0) {
        if (tracing()) trace({"All species are possible products."});
        if (s.ICALC >= 3) {
            no_target(s);
            return Stage::stop;
        }
        return set_every_phase(s, "ENTERED ", kMsgEnterAll);
    }
    if (set_every_phase(s, "ELIMINATED", kMsgEliminateAll) == Stage::stop) return Stage::stop;
    for (ftn::Int i = 1; i <= NSTR; ++i)
        if (select_name(s, i) == Stage::stop) return Stage::stop;
    // A target calculation whose first name selected nothing (its message
    // suppressed by the host) has no target either.
    if (s.ICALC >= 3 && s.ITPH == 0) {
        no_target(s);
        return Stage::stop;
    }
    return Stage::proceed;
}

}  // namespace eqlink::block
