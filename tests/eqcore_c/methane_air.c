/* A C caller of the engine that knows nothing but the public header: reads
 * the C-H-O-N data file named on the command line, burns methane in air
 * (CH4 + 2 O2 + 7.52 N2) at 2000 K and 1 bar, and checks the equilibrium
 * amounts and enthalpy against independent reference values (NASA CEA on the
 * same data, tests/reference/equilibria.json, case c_CH4air_phi1_tp_P1_T2000).
 * Exit status 0 when every check holds. */
#include <eqcore/eqcore.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void check(int ok, const char* what) {
    if (!ok) {
        ++failures;
        fprintf(stderr, "FAILED: %s\n", what);
    }
}

/* Calls that fail print the engine's error text. */
static int ok_call(eqcore_int noerr, const char* routine) {
    if (noerr != 0) {
        char lines[3][EQCORE_ERROR_LINE_LENGTH];
        eqcore_int e = 0;
        PPSTUB_ECERR(&lines[0][0], &e, EQCORE_ERROR_LINE_LENGTH);
        fprintf(stderr, "FAILED: %s returned %lld: %.80s\n", routine, (long long)noerr, lines[0]);
        ++failures;
    }
    return noerr == 0;
}

/* A blank-padded field of `n` characters holding `text`. */
static void field(char* f, size_t n, const char* text) {
    size_t k = strlen(text);
    if (k > n) k = n;
    memcpy(f, text, k);
    memset(f + k, ' ', n - k);
}

/* Number (from 1) of the gas constituent named `name`, 0 when none is. */
static eqcore_int gas_constituent(const char* name) {
    const eqcore_int gas = 1;
    eqcore_int count = 0, e = 0;
    PPSTUB_ECNPC(&gas, &count, &e);
    for (eqcore_int c = 1; c <= count; ++c) {
        char text[32];
        PPSTUB_ECCNM(&gas, &c, text, &e, sizeof text);
        size_t n = sizeof text;
        while (n > 0 && text[n - 1] == ' ') --n;
        if (e == 0 && n == strlen(name) && memcmp(text, name, n) == 0) return c;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s c-h-o-n.dat\n", argv[0]);
        return 2;
    }
    eqcore_int e = -1;
    PPSTUB_ECINI(&e);
    ok_call(e, "ECINI");

    eqcore_int version = 0;
    PPSTUB_ECVERS(&version, &e);
    check(ok_call(e, "ECVERS") && version == EQCORE_VERSION, "ECVERS reports the header's version");

    /* Units: Pa, K and mol. */
    PPSTUB_ECUNIT("pressure", "Pa", &e, 8, 2);
    ok_call(e, "ECUNIT");

    const eqcore_int unit = 10;
    PPSTUB_ECSIO("file", &unit, &e, 4);
    ok_call(e, "ECSIO");
    PPSTUB_ECOPTX(argv[1], &unit, &e, strlen(argv[1]));
    ok_call(e, "ECOPTX");
    PPSTUB_ECRDTX(&e);
    if (!ok_call(e, "ECRDTX")) return 1;

    /* The gas phase's name fills its field and nothing past it. */
    struct {
        char name[24];
        char guard[8];
    } out;
    memset(out.guard, '#', sizeof out.guard);
    const eqcore_int gas = 1;
    PPSTUB_ECPNM(&gas, out.name, &e, sizeof out.name);
    check(ok_call(e, "ECPNM") && memcmp(out.name, "GAS                     ", 24) == 0,
          "phase 1 is GAS, blank-padded");
    check(memcmp(out.guard, "########", 8) == 0, "ECPNM writes nothing past its field");

    /* An unknown phase name is an error with its text, not a crash. */
    eqcore_int phase = 0;
    PPSTUB_ECPIX("NO SUCH PHASE", &phase, &e, 13);
    check(e != 0, "an unknown phase name is an error");
    char lines[3][80];
    eqcore_int e2 = -1;
    PPSTUB_ECERR(&lines[0][0], &e2, 80);
    check(e2 == 0 && strncmp(lines[0], "EQCORE error", 12) == 0, "ECERR gives the error's text");

    /* The feed, at 298.15 K and 1 bar. */
    char stream[8];
    field(stream, sizeof stream, "FEED");
    const eqcore_real tp[2] = {298.15, 1.0e5};
    PPSTUB_ECSTDF(stream, tp, &e, sizeof stream);
    ok_call(e, "ECSTDF");
    const struct {
        const char* name;
        double mol;
    } feed[] = {{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}};
    for (size_t i = 0; i < sizeof feed / sizeof feed[0]; ++i) {
        const eqcore_int c = gas_constituent(feed[i].name);
        check(c > 0, feed[i].name);
        PPSTUB_ECSTAM(stream, &gas, &c, &feed[i].mol, &e, sizeof stream);
        ok_call(e, "ECSTAM");
    }

    /* Equilibrium at 2000 K and 1 bar. */
    const eqcore_int none = 0;
    eqcore_int number = 0;
    const eqcore_real T = 2000.0, P = 1.0e5;
    PPSTUB_ECSETC("T", &none, &none, &T, &number, &e, 1);
    ok_call(e, "ECSETC T");
    PPSTUB_ECSETC("P", &none, &none, &P, &number, &e, 1);
    ok_call(e, "ECSETC P");
    const eqcore_real values[2] = {0.0, 0.0};
    PPSTUB_ECEQ("  ", &none, &none, values, &e, 2);
    if (!ok_call(e, "ECEQ")) return 1;

    /* Amounts (mol) from the reference, 1e-6 relative. */
    const struct {
        const char* name;
        double mol;
    } expected[] = {
        {"H2O", 1.9805519637907143}, {"CO2", 0.968268210486225},   {"N2", 7.516623125719132},
        {"CO", 0.031731789513775},   {"O2", 0.017105997257187634}, {"H2", 0.014169055888982108},
        {"OH", 0.009926878533638607}, {"NO", 0.006751974732627218}, {"H", 0.0006296490968543815},
        {"O", 0.0002840367793272249},
    };
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
        const eqcore_int c = gas_constituent(expected[i].name);
        check(c > 0, expected[i].name);
        eqcore_real amount = -1.0;
        PPSTUB_ECRES("A", &gas, &c, &amount, &e, 1);
        const int close = fabs(amount - expected[i].mol) <= 1e-6 * expected[i].mol;
        if (!ok_call(e, "ECRES A") || !close)
            fprintf(stderr, "  %s: %.10g mol, expected %.10g\n", expected[i].name, amount,
                    expected[i].mol);
        check(close, expected[i].name);
    }

    /* Graphite is absent; the enthalpy of the gas is that of the system. */
    const eqcore_int graphite = 2;
    eqcore_real amount = -1.0, H = 0.0;
    PPSTUB_ECRES("A", &graphite, &none, &amount, &e, 1);
    check(ok_call(e, "ECRES A") && amount == 0.0, "graphite is absent");
    PPSTUB_ECRES("H ", &gas, &none, &H, &e, 2);
    check(ok_call(e, "ECRES H") && fabs(H - -202608.374048765) <= 1e-6 * 202608.374048765,
          "enthalpy of the equilibrium, J");

    if (failures == 0) printf("methane-air at 2000 K: all checks hold\n");
    return failures == 0 ? 0 : 1;
}
