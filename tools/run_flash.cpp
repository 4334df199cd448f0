// A flash: the feed brought to its state at its own T and P, then the flash
// of the case (TP or PQ, with or without chemistry) on that stream.
#include "caflsh.hpp"
#include "calls.hpp"
#include "host_streams.hpp"
#include "run.hpp"
#include "runner.hpp"

namespace eqlink_tool {

FlashResult run_flash(const RunContext& rc, const FlashCalc& f, std::string& failure) {
    elvar::Run& run = rc.run;
    Kinds kinds{"mixed"};
    if (f.feed.cisolid) kinds.push_back("cisolid");
    if (f.feed.noncon) kinds.push_back("noncon");
    const elvar::StreamLayout layout = layout_of(run, kinds);
    std::vector<double> feed = make_stream(run, layout, kinds, f.feed);

    FlashResult r;
    if (!fill_stream_state(run, layout, feed, f.level, failure)) {
        r.ker = -1;
        r.stream = read_stream(rc.kase, layout, kinds, feed);
        return r;
    }

    elvar::FlashArgs a(layout, feed);
    a.ids[2] = rc.chemistry;
    a.kode = f.kode;
    a.npkode = f.phases;
    a.kphase = f.phase;
    a.tol = f.tolerance;
    a.kdiag = f.level;
    a.kpdiag = f.level;
    elvar::FlashConditions conditions;
    conditions.T = f.T.value_or(elvar::kRmiss);
    conditions.P = f.P;
    conditions.duty = f.kode == 1 ? f.duty : elvar::kRmiss;
    run.set_flash_conditions(conditions);
    EQLINK_CAFLSH(a.strvec.data(), &a.nsubs, a.lpb.data(), a.itype.data(), a.ids.data(), &a.kode, &a.npkode,
                  &a.kphase, &a.rfctl, &a.tol, &a.kdiag, &a.kpdiag, &a.spare[0], &a.spare[1], &a.spare[2], &a.ker);

    const elvar::FlashResults fr = run.flash_results();
    r.ker = a.ker;
    r.T = value_of(fr.T);
    r.P = value_of(fr.P);
    r.vcalc = value_of(fr.vcalc);
    r.qcalc = value_of(fr.qcalc);
    r.stream = read_stream(rc.kase, layout, kinds, a.strvec);
    if (a.ker != 0) failure = "the flash failed (KER " + std::to_string(a.ker) + ")";
    return r;
}

}  // namespace eqlink_tool
