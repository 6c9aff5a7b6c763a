// The control function table: one constant record per control function that
// a control sequence can name, and the lookup from intermediates and final
// byte to the record.
#include "csi/table.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "csi/handlers.h"

namespace vorsk {

namespace {

// The ECMA-48 tables cover the final bytes 0x40 to 0x6F; 0x70 to 0x7E are
// left to private use.
constexpr std::uint8_t FIRST_FINAL = 0x40;
constexpr std::uint8_t LAST_FINAL = 0x6F;
constexpr std::size_t N_FINALS = LAST_FINAL - FIRST_FINAL + 1;

using FunctionTable = std::array<CsiFunction, N_FINALS>;

struct KeyedFunction {
    std::uint8_t final_byte = 0;
    CsiFunction function = {};
};

// Not constexpr: reaching it while a table is built stops the compilation.
void table_key_is_duplicate_missing_or_out_of_range() {}

// Places every record at its final byte; each key must be in range and
// appear exactly once, so that the rows below account for all 48 entries.
template <std::size_t N>
consteval FunctionTable place_functions(const KeyedFunction (&rows)[N]) {
    FunctionTable table{};
    std::array<bool, N_FINALS> placed{};
    for (const KeyedFunction& row : rows) {
        if (row.final_byte < FIRST_FINAL || row.final_byte > LAST_FINAL) {
            table_key_is_duplicate_missing_or_out_of_range();
        }
        const std::size_t index = row.final_byte - FIRST_FINAL;
        if (placed[index]) {
            table_key_is_duplicate_missing_or_out_of_range();
        }
        placed[index] = true;
        table[index] = row.function;
    }
    for (bool p : placed) {
        if (!p) {
            table_key_is_duplicate_missing_or_out_of_range();
        }
    }
    return table;
}

// Without intermediate. An empty row ({}) is a known gap, not an omission.
constexpr KeyedFunction plain_rows[] = {
    {.final_byte = 0x40,
     .function = {.acronym = "ICH", .name = "INSERT CHARACTER", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_ich, .default1 = 1}},
    {.final_byte = 0x41,
     .function = {.acronym = "CUU", .name = "CURSOR UP", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_cuu, .default1 = 1}},
    {.final_byte = 0x42,
     .function = {.acronym = "CUD", .name = "CURSOR DOWN", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_cuu, .default1 = 1}},
    {.final_byte = 0x43,
     .function = {.acronym = "CUF", .name = "CURSOR RIGHT", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_cuu, .default1 = 1}},
    {.final_byte = 0x44,
     .function = {.acronym = "CUB", .name = "CURSOR LEFT", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_cuu, .default1 = 1}},
    {.final_byte = 0x45,
     .function = {.acronym = "CNL", .name = "CURSOR NEXT LINE", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_cnl, .default1 = 1}},
    {.final_byte = 0x46,
     .function = {.acronym = "CPL", .name = "CURSOR PRECEDING LINE", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_cnl, .default1 = 1}},
    {.final_byte = 0x47,
     .function = {.acronym = "CHA", .name = "CURSOR CHARACTER ABSOLUTE",
                  .shape = SHAPE_ONE_NUMERIC, .handler = csi_do_cha, .default1 = 1}},
    {.final_byte = 0x48,
     .function = {.acronym = "CUP", .name = "CURSOR POSITION", .shape = SHAPE_TWO_NUMERIC,
                  .handler = csi_do_cup, .default1 = 1, .default2 = 1}},
    {.final_byte = 0x49,
     .function = {.acronym = "CHT", .name = "CURSOR FORWARD TABULATION",
                  .shape = SHAPE_ONE_NUMERIC, .handler = csi_do_cht, .default1 = 1}},
    {.final_byte = 0x4A,
     .function = {.acronym = "ED", .name = "ERASE IN PAGE", .shape = SHAPE_ONE_SELECTIVE,
                  .handler = csi_do_ed}},
    {.final_byte = 0x4B,
     .function = {.acronym = "EL", .name = "ERASE IN LINE", .shape = SHAPE_ONE_SELECTIVE,
                  .handler = csi_do_ed}},
    {.final_byte = 0x4C,
     .function = {.acronym = "IL", .name = "INSERT LINE", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_il, .default1 = 1}},
    {.final_byte = 0x4D,
     .function = {.acronym = "DL", .name = "DELETE LINE", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_dl, .default1 = 1}},
    {.final_byte = 0x4E,
     .function = {.acronym = "EF", .name = "ERASE IN FIELD", .shape = SHAPE_ONE_SELECTIVE,
                  .handler = csi_do_ef}},
    {.final_byte = 0x4F, .function = {.acronym = "EA", .name = "ERASE IN AREA"}},
    {.final_byte = 0x50,
     .function = {.acronym = "DCH", .name = "DELETE CHARACTER", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_dch, .default1 = 1}},
    {.final_byte = 0x51, .function = {.acronym = "SEE", .name = "SELECT EDITING EXTENT"}},
    {.final_byte = 0x52,
     .function = {.acronym = "CPR", .name = "ACTIVE POSITION REPORT", .shape = SHAPE_TWO_NUMERIC,
                  .handler = csi_do_cpr, .default1 = 1, .default2 = 1}},
    {.final_byte = 0x53,
     .function = {.acronym = "SU", .name = "SCROLL UP", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_su, .default1 = 1}},
    {.final_byte = 0x54,
     .function = {.acronym = "SD", .name = "SCROLL DOWN", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_su, .default1 = 1}},
    {.final_byte = 0x55, .function = {.acronym = "NP", .name = "NEXT PAGE"}},
    {.final_byte = 0x56, .function = {.acronym = "PP", .name = "PRECEDING PAGE"}},
    {.final_byte = 0x57,
     .function = {.acronym = "CTC", .name = "CURSOR TABULATION CONTROL",
                  .shape = SHAPE_SELECTIVE_LIST, .handler = csi_do_ctc}},
    {.final_byte = 0x58,
     .function = {.acronym = "ECH", .name = "ERASE CHARACTER", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_ech, .default1 = 1}},
    {.final_byte = 0x59,
     .function = {.acronym = "CVT", .name = "CURSOR LINE TABULATION", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_cht, .default1 = 1}},
    {.final_byte = 0x5A,
     .function = {.acronym = "CBT", .name = "CURSOR BACKWARD TABULATION",
                  .shape = SHAPE_ONE_NUMERIC, .handler = csi_do_cht, .default1 = 1}},
    {.final_byte = 0x5B, .function = {.acronym = "SRS", .name = "START REVERSED STRING"}},
    {.final_byte = 0x5C, .function = {.acronym = "PTX", .name = "PARALLEL TEXTS"}},
    {.final_byte = 0x5D, .function = {.acronym = "SDS", .name = "START DIRECTED STRING"}},
    {.final_byte = 0x5E,
     .function = {.acronym = "SIMD", .name = "SELECT IMPLICIT MOVEMENT DIRECTION"}},
    {.final_byte = 0x5F, .function = {}},
    {.final_byte = 0x60,
     .function = {.acronym = "HPA", .name = "CHARACTER POSITION ABSOLUTE",
                  .shape = SHAPE_ONE_NUMERIC, .handler = csi_do_cha, .default1 = 1}},
    {.final_byte = 0x61, .function = {.acronym = "HPR", .name = "CHARACTER POSITION FORWARD"}},
    {.final_byte = 0x62, .function = {.acronym = "REP", .name = "REPEAT"}},
    {.final_byte = 0x63,
     .function = {.acronym = "DA", .name = "DEVICE ATTRIBUTES", .shape = SHAPE_ONE_SELECTIVE,
                  .handler = csi_do_da}},
    {.final_byte = 0x64,
     .function = {.acronym = "VPA", .name = "LINE POSITION ABSOLUTE", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_vpa, .default1 = 1}},
    {.final_byte = 0x65, .function = {.acronym = "VPR", .name = "LINE POSITION FORWARD"}},
    {.final_byte = 0x66,
     .function = {.acronym = "HVP", .name = "CHARACTER AND LINE POSITION",
                  .shape = SHAPE_TWO_NUMERIC, .handler = csi_do_cup, .default1 = 1,
                  .default2 = 1}},
    {.final_byte = 0x67,
     .function = {.acronym = "TBC", .name = "TABULATION CLEAR", .shape = SHAPE_ONE_SELECTIVE,
                  .handler = csi_do_tbc}},
    {.final_byte = 0x68,
     .function = {.acronym = "SM", .name = "SET MODE", .shape = SHAPE_SELECTIVE_LIST,
                  .handler = csi_do_sm}},
    {.final_byte = 0x69,
     .function = {.acronym = "MC", .name = "MEDIA COPY", .shape = SHAPE_ONE_SELECTIVE,
                  .handler = csi_do_mc}},
    {.final_byte = 0x6A, .function = {.acronym = "HPB", .name = "CHARACTER POSITION BACKWARD"}},
    {.final_byte = 0x6B, .function = {.acronym = "VPB", .name = "LINE POSITION BACKWARD"}},
    {.final_byte = 0x6C,
     .function = {.acronym = "RM", .name = "RESET MODE", .shape = SHAPE_SELECTIVE_LIST,
                  .handler = csi_do_sm}},
    {.final_byte = 0x6D,
     .function = {.acronym = "SGR", .name = "SELECT GRAPHIC RENDITION",
                  .shape = SHAPE_SELECTIVE_LIST, .handler = csi_do_sgr}},
    {.final_byte = 0x6E,
     .function = {.acronym = "DSR", .name = "DEVICE STATUS REPORT", .shape = SHAPE_ONE_SELECTIVE,
                  .handler = csi_do_dsr}},
    {.final_byte = 0x6F, .function = {.acronym = "DAQ", .name = "DEFINE AREA QUALIFICATION"}},
};

// After the single intermediate SP: mostly presentation functions, which a
// character terminal has no use for, so only SL and SR are described.
constexpr KeyedFunction space_rows[] = {
    {.final_byte = 0x40,
     .function = {.acronym = "SL", .name = "SCROLL LEFT", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_su, .default1 = 1}},
    {.final_byte = 0x41,
     .function = {.acronym = "SR", .name = "SCROLL RIGHT", .shape = SHAPE_ONE_NUMERIC,
                  .handler = csi_do_su, .default1 = 1}},
    {.final_byte = 0x42, .function = {.acronym = "GSM", .name = "GRAPHIC SIZE MODIFICATION"}},
    {.final_byte = 0x43, .function = {.acronym = "GSS", .name = "GRAPHIC SIZE SELECTION"}},
    {.final_byte = 0x44, .function = {.acronym = "FNT", .name = "FONT SELECTION"}},
    {.final_byte = 0x45, .function = {.acronym = "TSS", .name = "THIN SPACE SPECIFICATION"}},
    {.final_byte = 0x46, .function = {.acronym = "JFY", .name = "JUSTIFY"}},
    {.final_byte = 0x47, .function = {.acronym = "SPI", .name = "SPACING INCREMENT"}},
    {.final_byte = 0x48, .function = {.acronym = "QUAD", .name = "QUAD"}},
    {.final_byte = 0x49, .function = {.acronym = "SSU", .name = "SELECT SIZE UNIT"}},
    {.final_byte = 0x4A, .function = {.acronym = "PFS", .name = "PAGE FORMAT SELECTION"}},
    {.final_byte = 0x4B, .function = {.acronym = "SHS", .name = "SELECT CHARACTER SPACING"}},
    {.final_byte = 0x4C, .function = {.acronym = "SVS", .name = "SELECT LINE SPACING"}},
    {.final_byte = 0x4D,
     .function = {.acronym = "IGS", .name = "IDENTIFY GRAPHIC SUBREPERTOIRE"}},
    {.final_byte = 0x4E, .function = {}},
    {.final_byte = 0x4F,
     .function = {.acronym = "IDCS", .name = "IDENTIFY DEVICE CONTROL STRING"}},
    {.final_byte = 0x50, .function = {.acronym = "PPA", .name = "PAGE POSITION ABSOLUTE"}},
    {.final_byte = 0x51, .function = {.acronym = "PPR", .name = "PAGE POSITION FORWARD"}},
    {.final_byte = 0x52, .function = {.acronym = "PPB", .name = "PAGE POSITION BACKWARD"}},
    {.final_byte = 0x53,
     .function = {.acronym = "SPD", .name = "SELECT PRESENTATION DIRECTIONS"}},
    {.final_byte = 0x54, .function = {.acronym = "DTA", .name = "DIMENSION TEXT AREA"}},
    {.final_byte = 0x55, .function = {.acronym = "SLH", .name = "SET LINE HOME"}},
    {.final_byte = 0x56, .function = {.acronym = "SLL", .name = "SET LINE LIMIT"}},
    {.final_byte = 0x57, .function = {.acronym = "FNK", .name = "FUNCTION KEY"}},
    {.final_byte = 0x58,
     .function = {.acronym = "SPQR", .name = "SELECT PRINT QUALITY AND RAPIDITY"}},
    {.final_byte = 0x59, .function = {.acronym = "SEF", .name = "SHEET EJECT AND FEED"}},
    {.final_byte = 0x5A,
     .function = {.acronym = "PEC", .name = "PRESENTATION EXPAND OR CONTRACT"}},
    {.final_byte = 0x5B, .function = {.acronym = "SSW", .name = "SET SPACE WIDTH"}},
    {.final_byte = 0x5C,
     .function = {.acronym = "SACS", .name = "SET ADDITIONAL CHARACTER SEPARATION"}},
    {.final_byte = 0x5D,
     .function = {.acronym = "SAPV", .name = "SELECT ALTERNATIVE PRESENTATION VARIANTS"}},
    {.final_byte = 0x5E, .function = {.acronym = "STAB", .name = "SELECTIVE TABULATION"}},
    {.final_byte = 0x5F, .function = {.acronym = "GCC", .name = "GRAPHIC CHARACTER COMBINATION"}},
    {.final_byte = 0x60,
     .function = {.acronym = "TATE", .name = "TABULATION ALIGNED TRAILING EDGE"}},
    {.final_byte = 0x61,
     .function = {.acronym = "TALE", .name = "TABULATION ALIGNED LEADING EDGE"}},
    {.final_byte = 0x62, .function = {.acronym = "TAC", .name = "TABULATION ALIGNED CENTRED"}},
    {.final_byte = 0x63,
     .function = {.acronym = "TCC", .name = "TABULATION CENTRED ON CHARACTER"}},
    {.final_byte = 0x64, .function = {.acronym = "TSR", .name = "TABULATION STOP REMOVE"}},
    {.final_byte = 0x65, .function = {.acronym = "SCO", .name = "SELECT CHARACTER ORIENTATION"}},
    {.final_byte = 0x66,
     .function = {.acronym = "SRCS", .name = "SET REDUCED CHARACTER SEPARATION"}},
    {.final_byte = 0x67, .function = {.acronym = "SCS", .name = "SET CHARACTER SPACING"}},
    {.final_byte = 0x68, .function = {.acronym = "SLS", .name = "SET LINE SPACING"}},
    {.final_byte = 0x69, .function = {}},
    {.final_byte = 0x6A, .function = {}},
    {.final_byte = 0x6B, .function = {.acronym = "SCP", .name = "SELECT CHARACTER PATH"}},
    {.final_byte = 0x6C, .function = {}},
    {.final_byte = 0x6D, .function = {}},
    {.final_byte = 0x6E, .function = {}},
    {.final_byte = 0x6F, .function = {}},
};

static_assert(std::size(plain_rows) == 48);
static_assert(std::size(space_rows) == 48);

constexpr FunctionTable csi_functions = place_functions(plain_rows);
constexpr FunctionTable csi_space_functions = place_functions(space_rows);

// The private records. Those without acronym take -1 defaults: their
// handlers tell an absent parameter from a zero one.

// "r" is DECSTBM without a marker; with "?", "r" and "s" restore and save
// xterm's private modes, so both share one handler and one record.
constexpr CsiFunction decstbm_function = {
    .shape = SHAPE_NUMERIC_LIST, .handler = csi_do_decstbm, .default1 = -1, .default2 = -1};
// dtterm and xterm window operations.
constexpr CsiFunction winop_function = {
    .shape = SHAPE_SELECTIVE_LIST, .handler = csi_do_winop, .default1 = -1, .default2 = -1};
// DECLRP, the locator report a DEC terminal sends back.
constexpr CsiFunction locator_report_function = {
    .shape = SHAPE_SELECTIVE_LIST, .handler = csi_do_decmouse, .default1 = -1, .default2 = -1};
constexpr CsiFunction decelr_function = {.acronym = "DECELR",
                                         .name = "ENABLE LOCATOR REPORTING",
                                         .shape = SHAPE_TWO_SELECTIVE,
                                         .handler = csi_do_decelr};
constexpr CsiFunction decsle_function = {.acronym = "DECSLE",
                                         .name = "SELECT LOCATOR EVENTS",
                                         .shape = SHAPE_SELECTIVE_LIST,
                                         .handler = csi_do_decsle};
constexpr CsiFunction decrqlp_function = {.acronym = "DECRQLP",
                                          .name = "REQUEST LOCATOR POSITION",
                                          .shape = SHAPE_ONE_SELECTIVE,
                                          .handler = csi_do_decrqlp};

// The invariants every record keeps; the processing of a sequence relies on
// them (a record without handler is never asked for a value, and only a
// handler that expects absent values is given none).
constexpr bool record_is_consistent(const CsiFunction& f) {
    if ((f.acronym == nullptr) != (f.name == nullptr)) {
        return false;
    }
    if (f.handler == nullptr) {
        return f.shape == SHAPE_NONE && f.default1 == 0 && f.default2 == 0;
    }
    if (f.shape == SHAPE_NONE) {
        return false;
    }
    if (f.default1 == -1 || f.default2 == -1) {
        return f.acronym == nullptr;
    }
    return f.default1 >= 0 && f.default2 >= 0;
}

constexpr bool table_is_consistent(const FunctionTable& table) {
    for (const CsiFunction& f : table) {
        if (!record_is_consistent(f)) {
            return false;
        }
    }
    return true;
}

enum RecordKind { EMPTY_RECORD, LABELLED_RECORD, DESCRIBED_RECORD };

constexpr std::size_t count_records(const FunctionTable& table, RecordKind kind) {
    std::size_t count = 0;
    for (const CsiFunction& f : table) {
        const RecordKind k = f.handler != nullptr   ? DESCRIBED_RECORD
                             : f.acronym != nullptr ? LABELLED_RECORD
                                                    : EMPTY_RECORD;
        count += k == kind ? 1 : 0;
    }
    return count;
}

static_assert(csi_functions.size() == 48 && csi_space_functions.size() == 48);
static_assert(table_is_consistent(csi_functions));
static_assert(table_is_consistent(csi_space_functions));
static_assert(record_is_consistent(decstbm_function));
static_assert(record_is_consistent(winop_function));
static_assert(record_is_consistent(locator_report_function));
static_assert(record_is_consistent(decelr_function));
static_assert(record_is_consistent(decsle_function));
static_assert(record_is_consistent(decrqlp_function));
static_assert(record_is_consistent(empty_csi_function));
// The -1 defaults belong to the three records without acronym, and to them only.
static_assert(decstbm_function.default1 == -1 && winop_function.default1 == -1 &&
              locator_report_function.default1 == -1);

// 33 described, 14 labelled only and one gap without intermediate;
// 2 described, 39 labelled only and 7 gaps after SP.
static_assert(count_records(csi_functions, DESCRIBED_RECORD) == 33);
static_assert(count_records(csi_functions, LABELLED_RECORD) == 14);
static_assert(count_records(csi_functions, EMPTY_RECORD) == 1);
static_assert(count_records(csi_space_functions, DESCRIBED_RECORD) == 2);
static_assert(count_records(csi_space_functions, LABELLED_RECORD) == 39);
static_assert(count_records(csi_space_functions, EMPTY_RECORD) == 7);

}  // namespace

// The private marker plays no part: "[ ? 1 h" is SM all the same.
const CsiFunction& lookup_csi_function(std::size_t n_intermediates, std::uint8_t last_intermediate,
                                       std::uint8_t final_byte) {
    const bool standard_final = final_byte >= FIRST_FINAL && final_byte <= LAST_FINAL;
    if (n_intermediates == 0) {
        if (standard_final) {
            return csi_functions[final_byte - FIRST_FINAL];
        }
        switch (final_byte) {
        case 'r':
        case 's':
            return decstbm_function;
        case 't':
            return winop_function;
        default:
            return empty_csi_function;
        }
    }
    if (n_intermediates != 1) {
        return empty_csi_function;
    }
    switch (last_intermediate) {
    case ' ':
        if (standard_final) {
            return csi_space_functions[final_byte - FIRST_FINAL];
        }
        break;
    case '\'':
        switch (final_byte) {
        case 0x7A:
            return decelr_function;
        case 0x7B:
            return decsle_function;
        case 0x7C:
            return decrqlp_function;
        default:
            break;
        }
        break;
    case '&':
        if (final_byte == 'w') {
            return locator_report_function;
        }
        break;
    default:
        break;
    }
    return empty_csi_function;
}

}  // namespace vorsk
