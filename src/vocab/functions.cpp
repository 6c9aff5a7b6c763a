// The control function table: one constant record per control function that
// a control sequence can name, placed by its key and sorted at compile time,
// and the lookup from a sequence to its record.
#include "vocab/functions.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "vocab/handlers.h"

namespace vorsk {
namespace {

constexpr FunctionKey key_of(char marker, char intermediate, char final_byte) {
    return function_key(static_cast<std::uint8_t>(marker), static_cast<std::uint8_t>(intermediate),
                        static_cast<std::uint8_t>(final_byte));
}

constexpr FunctionKey plain(char final_byte) {
    return function_key(0, 0, static_cast<std::uint8_t>(final_byte));
}
constexpr FunctionKey after_space(char final_byte) {
    return function_key(0, ' ', static_cast<std::uint8_t>(final_byte));
}
constexpr FunctionKey after(char intermediate, char final_byte) {
    return function_key(0, static_cast<std::uint8_t>(intermediate),
                        static_cast<std::uint8_t>(final_byte));
}
constexpr FunctionKey marked(char marker, char final_byte) {
    return function_key(static_cast<std::uint8_t>(marker), 0,
                        static_cast<std::uint8_t>(final_byte));
}

// The records in the order that reads best; the table below sorts them.
constexpr CsiFunction rows[] = {
    // ECMA-48, without intermediate. 0x5F has no function.
    {.key = plain('@'),
     .acronym = "ICH",
     .name = "INSERT CHARACTER",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_ich,
     .default1 = 1},
    {.key = plain('A'),
     .acronym = "CUU",
     .name = "CURSOR UP",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cuu,
     .default1 = 1},
    {.key = plain('B'),
     .acronym = "CUD",
     .name = "CURSOR DOWN",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cuu,
     .default1 = 1},
    {.key = plain('C'),
     .acronym = "CUF",
     .name = "CURSOR RIGHT",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cuu,
     .default1 = 1},
    {.key = plain('D'),
     .acronym = "CUB",
     .name = "CURSOR LEFT",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cuu,
     .default1 = 1},
    {.key = plain('E'),
     .acronym = "CNL",
     .name = "CURSOR NEXT LINE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cnl,
     .default1 = 1},
    {.key = plain('F'),
     .acronym = "CPL",
     .name = "CURSOR PRECEDING LINE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cnl,
     .default1 = 1},
    {.key = plain('G'),
     .acronym = "CHA",
     .name = "CURSOR CHARACTER ABSOLUTE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cha,
     .default1 = 1},
    {.key = plain('H'),
     .acronym = "CUP",
     .name = "CURSOR POSITION",
     .shape = SHAPE_TWO_NUMERIC,
     .handler = csi_do_cup,
     .default1 = 1,
     .default2 = 1},
    {.key = plain('I'),
     .acronym = "CHT",
     .name = "CURSOR FORWARD TABULATION",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cht,
     .default1 = 1},
    {.key = plain('J'),
     .acronym = "ED",
     .name = "ERASE IN PAGE",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_ed},
    {.key = plain('K'),
     .acronym = "EL",
     .name = "ERASE IN LINE",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_ed},
    {.key = plain('L'),
     .acronym = "IL",
     .name = "INSERT LINE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_il,
     .default1 = 1},
    {.key = plain('M'),
     .acronym = "DL",
     .name = "DELETE LINE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_dl,
     .default1 = 1},
    {.key = plain('N'),
     .acronym = "EF",
     .name = "ERASE IN FIELD",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_ef},
    {.key = plain('O'), .acronym = "EA", .name = "ERASE IN AREA"},
    {.key = plain('P'),
     .acronym = "DCH",
     .name = "DELETE CHARACTER",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_dch,
     .default1 = 1},
    {.key = plain('Q'), .acronym = "SEE", .name = "SELECT EDITING EXTENT"},
    {.key = plain('R'),
     .acronym = "CPR",
     .name = "ACTIVE POSITION REPORT",
     .shape = SHAPE_TWO_NUMERIC,
     .handler = csi_do_cpr,
     .default1 = 1,
     .default2 = 1},
    {.key = plain('S'),
     .acronym = "SU",
     .name = "SCROLL UP",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_su,
     .default1 = 1},
    {.key = plain('T'),
     .acronym = "SD",
     .name = "SCROLL DOWN",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_su,
     .default1 = 1},
    {.key = plain('U'), .acronym = "NP", .name = "NEXT PAGE"},
    {.key = plain('V'), .acronym = "PP", .name = "PRECEDING PAGE"},
    {.key = plain('W'),
     .acronym = "CTC",
     .name = "CURSOR TABULATION CONTROL",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_ctc},
    {.key = plain('X'),
     .acronym = "ECH",
     .name = "ERASE CHARACTER",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_ech,
     .default1 = 1},
    {.key = plain('Y'),
     .acronym = "CVT",
     .name = "CURSOR LINE TABULATION",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cht,
     .default1 = 1},
    {.key = plain('Z'),
     .acronym = "CBT",
     .name = "CURSOR BACKWARD TABULATION",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cht,
     .default1 = 1},
    {.key = plain('['), .acronym = "SRS", .name = "START REVERSED STRING"},
    {.key = plain('\\'), .acronym = "PTX", .name = "PARALLEL TEXTS"},
    {.key = plain(']'), .acronym = "SDS", .name = "START DIRECTED STRING"},
    {.key = plain('^'), .acronym = "SIMD", .name = "SELECT IMPLICIT MOVEMENT DIRECTION"},
    {.key = plain('`'),
     .acronym = "HPA",
     .name = "CHARACTER POSITION ABSOLUTE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cha,
     .default1 = 1},
    {.key = plain('a'), .acronym = "HPR", .name = "CHARACTER POSITION FORWARD"},
    {.key = plain('b'), .acronym = "REP", .name = "REPEAT"},
    {.key = plain('c'),
     .acronym = "DA",
     .name = "DEVICE ATTRIBUTES",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_da},
    {.key = plain('d'),
     .acronym = "VPA",
     .name = "LINE POSITION ABSOLUTE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_vpa,
     .default1 = 1},
    {.key = plain('e'), .acronym = "VPR", .name = "LINE POSITION FORWARD"},
    {.key = plain('f'),
     .acronym = "HVP",
     .name = "CHARACTER AND LINE POSITION",
     .shape = SHAPE_TWO_NUMERIC,
     .handler = csi_do_cup,
     .default1 = 1,
     .default2 = 1},
    {.key = plain('g'),
     .acronym = "TBC",
     .name = "TABULATION CLEAR",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_tbc},
    {.key = plain('h'),
     .acronym = "SM",
     .name = "SET MODE",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_sm},
    {.key = plain('i'),
     .acronym = "MC",
     .name = "MEDIA COPY",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_mc},
    {.key = plain('j'), .acronym = "HPB", .name = "CHARACTER POSITION BACKWARD"},
    {.key = plain('k'), .acronym = "VPB", .name = "LINE POSITION BACKWARD"},
    {.key = plain('l'),
     .acronym = "RM",
     .name = "RESET MODE",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_sm},
    {.key = plain('m'),
     .acronym = "SGR",
     .name = "SELECT GRAPHIC RENDITION",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_sgr},
    {.key = plain('n'),
     .acronym = "DSR",
     .name = "DEVICE STATUS REPORT",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_dsr},
    {.key = plain('o'), .acronym = "DAQ", .name = "DEFINE AREA QUALIFICATION"},

    // ECMA-48, after the single intermediate SP: mostly presentation
    // functions, which a character terminal has no use for, so only SL and
    // SR are described. 0x4E, 0x69, 0x6A and 0x6C to 0x6F have no function.
    {.key = after_space('@'),
     .acronym = "SL",
     .name = "SCROLL LEFT",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_su,
     .default1 = 1},
    {.key = after_space('A'),
     .acronym = "SR",
     .name = "SCROLL RIGHT",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_su,
     .default1 = 1},
    {.key = after_space('B'), .acronym = "GSM", .name = "GRAPHIC SIZE MODIFICATION"},
    {.key = after_space('C'), .acronym = "GSS", .name = "GRAPHIC SIZE SELECTION"},
    {.key = after_space('D'), .acronym = "FNT", .name = "FONT SELECTION"},
    {.key = after_space('E'), .acronym = "TSS", .name = "THIN SPACE SPECIFICATION"},
    {.key = after_space('F'), .acronym = "JFY", .name = "JUSTIFY"},
    {.key = after_space('G'), .acronym = "SPI", .name = "SPACING INCREMENT"},
    {.key = after_space('H'), .acronym = "QUAD", .name = "QUAD"},
    {.key = after_space('I'), .acronym = "SSU", .name = "SELECT SIZE UNIT"},
    {.key = after_space('J'), .acronym = "PFS", .name = "PAGE FORMAT SELECTION"},
    {.key = after_space('K'), .acronym = "SHS", .name = "SELECT CHARACTER SPACING"},
    {.key = after_space('L'), .acronym = "SVS", .name = "SELECT LINE SPACING"},
    {.key = after_space('M'), .acronym = "IGS", .name = "IDENTIFY GRAPHIC SUBREPERTOIRE"},
    {.key = after_space('O'), .acronym = "IDCS", .name = "IDENTIFY DEVICE CONTROL STRING"},
    {.key = after_space('P'), .acronym = "PPA", .name = "PAGE POSITION ABSOLUTE"},
    {.key = after_space('Q'), .acronym = "PPR", .name = "PAGE POSITION FORWARD"},
    {.key = after_space('R'), .acronym = "PPB", .name = "PAGE POSITION BACKWARD"},
    {.key = after_space('S'), .acronym = "SPD", .name = "SELECT PRESENTATION DIRECTIONS"},
    {.key = after_space('T'), .acronym = "DTA", .name = "DIMENSION TEXT AREA"},
    {.key = after_space('U'), .acronym = "SLH", .name = "SET LINE HOME"},
    {.key = after_space('V'), .acronym = "SLL", .name = "SET LINE LIMIT"},
    {.key = after_space('W'), .acronym = "FNK", .name = "FUNCTION KEY"},
    {.key = after_space('X'), .acronym = "SPQR", .name = "SELECT PRINT QUALITY AND RAPIDITY"},
    {.key = after_space('Y'), .acronym = "SEF", .name = "SHEET EJECT AND FEED"},
    {.key = after_space('Z'), .acronym = "PEC", .name = "PRESENTATION EXPAND OR CONTRACT"},
    {.key = after_space('['), .acronym = "SSW", .name = "SET SPACE WIDTH"},
    {.key = after_space('\\'), .acronym = "SACS", .name = "SET ADDITIONAL CHARACTER SEPARATION"},
    {.key = after_space(']'),
     .acronym = "SAPV",
     .name = "SELECT ALTERNATIVE PRESENTATION VARIANTS"},
    {.key = after_space('^'), .acronym = "STAB", .name = "SELECTIVE TABULATION"},
    {.key = after_space('_'), .acronym = "GCC", .name = "GRAPHIC CHARACTER COMBINATION"},
    {.key = after_space('`'), .acronym = "TATE", .name = "TABULATION ALIGNED TRAILING EDGE"},
    {.key = after_space('a'), .acronym = "TALE", .name = "TABULATION ALIGNED LEADING EDGE"},
    {.key = after_space('b'), .acronym = "TAC", .name = "TABULATION ALIGNED CENTRED"},
    {.key = after_space('c'), .acronym = "TCC", .name = "TABULATION CENTRED ON CHARACTER"},
    {.key = after_space('d'), .acronym = "TSR", .name = "TABULATION STOP REMOVE"},
    {.key = after_space('e'), .acronym = "SCO", .name = "SELECT CHARACTER ORIENTATION"},
    {.key = after_space('f'), .acronym = "SRCS", .name = "SET REDUCED CHARACTER SEPARATION"},
    {.key = after_space('g'), .acronym = "SCS", .name = "SET CHARACTER SPACING"},
    {.key = after_space('h'), .acronym = "SLS", .name = "SET LINE SPACING"},
    {.key = after_space('k'), .acronym = "SCP", .name = "SELECT CHARACTER PATH"},

    // DEC and xterm private functions. Those without acronym take -1
    // defaults: their handlers tell an absent parameter from a zero one.
    // "r" is DECSTBM; "s" without a marker is left to terminals that save
    // the cursor with it.
    {.key = plain('r'),
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decstbm,
     .default1 = -1,
     .default2 = -1},
    // dtterm and xterm window operations.
    {.key = plain('t'),
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_winop,
     .default1 = -1,
     .default2 = -1},
    // DECLRP, the locator report a DEC terminal sends back.
    {.key = after('&', 'w'),
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_decmouse,
     .default1 = -1,
     .default2 = -1},
    {.key = after('\'', 'z'),
     .acronym = "DECELR",
     .name = "ENABLE LOCATOR REPORTING",
     .shape = SHAPE_TWO_SELECTIVE,
     .handler = csi_do_decelr},
    {.key = after('\'', '{'),
     .acronym = "DECSLE",
     .name = "SELECT LOCATOR EVENTS",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_decsle},
    {.key = after('\'', '|'),
     .acronym = "DECRQLP",
     .name = "REQUEST LOCATOR POSITION",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_decrqlp},

    // Functions of their own under a private marker, labelled as the
    // function without marker is.
    {.key = marked('?', 'h'),
     .acronym = "SM",
     .name = "SET MODE",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_private_modes},
    {.key = marked('?', 'l'),
     .acronym = "RM",
     .name = "RESET MODE",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_private_modes},
    {.key = marked('?', 'i'),
     .acronym = "MC",
     .name = "MEDIA COPY",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_dec_mc},
    {.key = marked('>', 'm'),
     .acronym = "SGR",
     .name = "SELECT GRAPHIC RENDITION",
     .shape = SHAPE_SELECTIVE_LIST,
     .handler = csi_do_set_modify_keys},
    {.key = marked('>', 'n'),
     .acronym = "DSR",
     .name = "DEVICE STATUS REPORT",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_reset_modify_keys},
    // xterm's restore and save of private modes.
    {.key = marked('?', 'r'),
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_save_modes,
     .default1 = -1,
     .default2 = -1},
    {.key = marked('?', 's'),
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_save_modes,
     .default1 = -1,
     .default2 = -1},

    // The functions of current terminals, read with -X before the classic
    // rows, so that a row here takes the place of a classic row of the same key.
    // DECSCUSR: the cursor's shape.
    {.key = key_of(0, ' ', 'q'),
     .acronym = "DECSCUSR",
     .name = "SET CURSOR STYLE",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_decscusr,
     .extended = true},
    // Resets, modes and their reports.
    {.key = key_of(0, '!', 'p'),
     .acronym = "DECSTR",
     .name = "SOFT TERMINAL RESET",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decstr,
     .extended = true},
    {.key = key_of(0, '$', 'p'),
     .acronym = "DECRQM",
     .name = "REQUEST MODE",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_decrqm,
     .extended = true},
    {.key = key_of('?', '$', 'p'),
     .acronym = "DECRQM",
     .name = "REQUEST MODE",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_decrqm,
     .extended = true},
    {.key = key_of(0, '$', 'y'),
     .acronym = "DECRPM",
     .name = "REPORT MODE",
     .shape = SHAPE_TWO_SELECTIVE,
     .handler = csi_do_decrpm,
     .extended = true},
    {.key = key_of('?', '$', 'y'),
     .acronym = "DECRPM",
     .name = "REPORT MODE",
     .shape = SHAPE_TWO_SELECTIVE,
     .handler = csi_do_decrpm,
     .extended = true},
    {.key = key_of(0, '"', 'q'),
     .acronym = "DECSCA",
     .name = "SELECT CHARACTER PROTECTION ATTRIBUTE",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_decsca,
     .extended = true},
    {.key = key_of(0, '"', 'p'),
     .acronym = "DECSCL",
     .name = "SELECT CONFORMANCE LEVEL",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decscl,
     .extended = true},
    // Tab stops and graphics settings under "?".
    {.key = key_of('?', 0, 'W'),
     .acronym = "DECST8C",
     .name = "SET TAB AT EVERY 8 COLUMNS",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_decst8c,
     .extended = true},
    {.key = key_of('?', 0, 'S'),
     .acronym = "XTSMGRAPHICS",
     .name = "SET OR REQUEST GRAPHICS ATTRIBUTE",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtsmgraphics,
     .extended = true},
    // Margins and the saved cursor. Which of SCOSC and DECSLRM "s" is
    // depends on a mode of the terminal, so its label names both.
    {.key = key_of(0, 0, 'r'),
     .acronym = "DECSTBM",
     .name = "SET TOP AND BOTTOM MARGINS",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_ext_decstbm,
     .extended = true},
    {.key = key_of(0, 0, 's'),
     .acronym = "SCOSC/DECSLRM",
     .name = "SAVE CURSOR / SET LEFT AND RIGHT MARGINS",
     .shape = SHAPE_TWO_NUMERIC,
     .handler = csi_do_scosc_decslrm,
     .default1 = 1,
     .extended = true},
    {.key = key_of(0, 0, 'u'),
     .acronym = "SCORC",
     .name = "RESTORE CURSOR",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_scorc,
     .extended = true},
    // Columns and rectangles.
    {.key = key_of(0, '\'', '}'),
     .acronym = "DECIC",
     .name = "INSERT COLUMN",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_decic,
     .default1 = 1,
     .extended = true},
    {.key = key_of(0, '\'', '~'),
     .acronym = "DECDC",
     .name = "DELETE COLUMN",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_decic,
     .default1 = 1,
     .extended = true},
    {.key = key_of(0, '$', 'r'),
     .acronym = "DECCARA",
     .name = "CHANGE ATTRIBUTES IN RECTANGULAR AREA",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_deccara,
     .extended = true},
    {.key = key_of(0, '$', 't'),
     .acronym = "DECRARA",
     .name = "REVERSE ATTRIBUTES IN RECTANGULAR AREA",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decrara,
     .extended = true},
    {.key = key_of(0, '$', 'v'),
     .acronym = "DECCRA",
     .name = "COPY RECTANGULAR AREA",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_deccra,
     .extended = true},
    {.key = key_of(0, '$', 'x'),
     .acronym = "DECFRA",
     .name = "FILL RECTANGULAR AREA",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decfra,
     .extended = true},
    {.key = key_of(0, '$', 'z'),
     .acronym = "DECERA",
     .name = "ERASE RECTANGULAR AREA",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decera,
     .extended = true},
    {.key = key_of(0, '$', '{'),
     .acronym = "DECSERA",
     .name = "SELECTIVE ERASE RECTANGULAR AREA",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decera,
     .extended = true},
    {.key = key_of(0, '*', 'x'),
     .acronym = "DECSACE",
     .name = "SELECT ATTRIBUTE CHANGE EXTENT",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_decsace,
     .extended = true},
    // Relative moves that the classic account labels only.
    {.key = key_of(0, 0, 'a'),
     .acronym = "HPR",
     .name = "CHARACTER POSITION FORWARD",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cuu,
     .default1 = 1,
     .extended = true},
    {.key = key_of(0, 0, 'e'),
     .acronym = "VPR",
     .name = "LINE POSITION FORWARD",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_cuu,
     .default1 = 1,
     .extended = true},
    {.key = key_of(0, 0, 'b'),
     .acronym = "REP",
     .name = "REPEAT",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_rep,
     .default1 = 1,
     .extended = true},
    // Identification: the requests and their answers.
    {.key = key_of('>', 0, 'q'),
     .acronym = "XTVERSION",
     .name = "REQUEST TERMINAL NAME AND VERSION",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_xtversion,
     .extended = true},
    {.key = key_of(0, 0, 'c'),
     .acronym = "DA1",
     .name = "PRIMARY DEVICE ATTRIBUTES",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_da1,
     .extended = true},
    {.key = key_of('?', 0, 'c'),
     .acronym = "DA1",
     .name = "PRIMARY DEVICE ATTRIBUTES",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_da1_answer,
     .extended = true},
    {.key = key_of('>', 0, 'c'),
     .acronym = "DA2",
     .name = "SECONDARY DEVICE ATTRIBUTES",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_da2,
     .extended = true},
    {.key = key_of('=', 0, 'c'),
     .acronym = "DA3",
     .name = "TERTIARY DEVICE ATTRIBUTES",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_da3,
     .extended = true},
    {.key = key_of('?', 0, 'n'),
     .acronym = "DSR",
     .name = "DEVICE STATUS REPORT (DEC)",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_dec_dsr,
     .extended = true},
    {.key = key_of('?', 0, 'R'),
     .acronym = "DECXCPR",
     .name = "EXTENDED CURSOR POSITION REPORT",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_decxcpr,
     .default1 = 1,
     .extended = true},
    // xterm's save and restore of private modes.
    {.key = key_of('?', 0, 's'),
     .acronym = "XTSAVE",
     .name = "SAVE PRIVATE MODES",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtsave,
     .extended = true},
    {.key = key_of('?', 0, 'r'),
     .acronym = "XTRESTORE",
     .name = "RESTORE PRIVATE MODES",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtsave,
     .extended = true},
    // Keyboard: xterm's key modifier options and kitty's keyboard protocol.
    {.key = key_of('>', 0, 'm'),
     .acronym = "XTMODKEYS",
     .name = "SET KEY MODIFIER OPTIONS",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtmodkeys,
     .extended = true},
    {.key = key_of('?', 0, 'm'),
     .acronym = "XTQMODKEYS",
     .name = "QUERY KEY MODIFIER OPTIONS",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_xtqmodkeys,
     .extended = true},
    {.key = key_of('>', 0, 'u'),
     .acronym = "KKP",
     .name = "PUSH KEYBOARD MODE",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_kitty_keyboard,
     .extended = true},
    {.key = key_of('<', 0, 'u'),
     .acronym = "KKP",
     .name = "POP KEYBOARD MODE",
     .shape = SHAPE_ONE_NUMERIC,
     .handler = csi_do_kitty_keyboard,
     .default1 = 1,
     .extended = true},
    {.key = key_of('?', 0, 'u'),
     .acronym = "KKP",
     .name = "REQUEST OR REPORT KEYBOARD MODE",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_kitty_keyboard,
     .extended = true},
    {.key = key_of('=', 0, 'u'),
     .acronym = "KKP",
     .name = "SET KEYBOARD MODE",
     .shape = SHAPE_TWO_SELECTIVE,
     .handler = csi_do_kitty_keyboard,
     .default2 = 1,
     .extended = true},
    // xterm's stacks of video attributes and colors.
    {.key = key_of(0, '#', '{'),
     .acronym = "XTPUSHSGR",
     .name = "PUSH VIDEO ATTRIBUTES",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtpushsgr,
     .extended = true},
    {.key = key_of(0, '#', '}'),
     .acronym = "XTPOPSGR",
     .name = "POP VIDEO ATTRIBUTES",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtpopsgr,
     .extended = true},
    {.key = key_of(0, '#', '|'),
     .acronym = "XTREPORTSGR",
     .name = "REPORT VIDEO ATTRIBUTES",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtreportsgr,
     .extended = true},
    {.key = key_of(0, '#', 'P'),
     .acronym = "XTPUSHCOLORS",
     .name = "PUSH COLORS",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_xtcolors,
     .extended = true},
    {.key = key_of(0, '#', 'Q'),
     .acronym = "XTPOPCOLORS",
     .name = "POP COLORS",
     .shape = SHAPE_ONE_SELECTIVE,
     .handler = csi_do_xtcolors,
     .extended = true},
    {.key = key_of(0, '#', 'R'),
     .acronym = "XTREPORTCOLORS",
     .name = "REPORT COLORS",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtcolors,
     .extended = true},
    // Window operations, with the reports of current terminals.
    {.key = key_of(0, 0, 't'),
     .acronym = "XTWINOPS",
     .name = "WINDOW MANIPULATION",
     .shape = SHAPE_NUMERIC_LIST,
     .handler = csi_do_xtwinops,
     .extended = true},
};

// The rows of one mode, sorted by key.
consteval std::size_t count_rows(bool extended) {
    std::size_t n = 0;
    for (const CsiFunction& f : rows) n += f.extended == extended ? 1 : 0;
    return n;
}

template <bool Extended>
consteval std::array<CsiFunction, count_rows(Extended)> rows_of_mode() {
    std::array<CsiFunction, count_rows(Extended)> table{};
    std::size_t n = 0;
    for (const CsiFunction& f : rows) {
        if (f.extended == Extended) table[n++] = f;
    }
    std::sort(table.begin(), table.end(),
              [](const CsiFunction& x, const CsiFunction& y) { return x.key < y.key; });
    return table;
}

constexpr auto csi_functions = rows_of_mode<false>();
// The functions of current terminals, found first in extended mode.
constexpr auto extended_functions = rows_of_mode<true>();

// The invariants every record keeps; the processing of a sequence relies on
// them (a record without handler is never asked for a value, and only a
// handler that expects absent values is given none).
constexpr bool record_is_consistent(const CsiFunction& f) {
    if (f.acronym.empty() != f.name.empty()) return false;
    if (f.handler == nullptr) {
        return f.shape == SHAPE_NONE && f.default1 == 0 && f.default2 == 0;
    }
    if (f.shape == SHAPE_NONE) return false;
    if (f.default1 == -1 || f.default2 == -1) return f.acronym.empty();
    return f.default1 >= 0 && f.default2 >= 0;
}

template <std::size_t N>
consteval bool table_is_consistent(const std::array<CsiFunction, N>& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        const CsiFunction& f = table[i];
        if (!record_is_consistent(f)) return false;
        // Unique keys; a final byte of a control sequence; a record under
        // a marker is there for a handler of its own.
        if (i > 0 && table[i - 1].key == f.key) return false;
        const std::uint8_t final_byte = f.key & 0xff;
        if (final_byte < 0x40 || final_byte > 0x7e) return false;
        if ((f.key >> 16) != 0 && f.handler == nullptr) return false;
    }
    return true;
}
static_assert(table_is_consistent(csi_functions),
              "keys sorted and unique, every record well formed");
static_assert(table_is_consistent(extended_functions),
              "keys sorted and unique, every record well formed");
static_assert(record_is_consistent(empty_csi_function));

// The label of every record, "SGR: SELECT GRAPHIC RENDITION", composed at
// compile time so that it is written as one piece.
template <std::size_t N>
consteval std::size_t label_bytes(const std::array<CsiFunction, N>& table) {
    std::size_t n = 0;
    for (const CsiFunction& f : table) {
        if (!f.acronym.empty()) n += f.acronym.size() + 2 + f.name.size();
    }
    return n;
}

template <std::size_t Bytes, std::size_t N>
struct Labels {
    std::array<char, Bytes> text{};
    std::array<std::size_t, N + 1> start{};  // record i's label: text[start[i], start[i + 1])
};

template <std::size_t Bytes, std::size_t N>
consteval Labels<Bytes, N> compose_labels(const std::array<CsiFunction, N>& table) {
    Labels<Bytes, N> labels;
    std::size_t at = 0;
    for (std::size_t i = 0; i < N; ++i) {
        labels.start[i] = at;
        const CsiFunction& f = table[i];
        if (f.acronym.empty()) continue;
        for (const char c : f.acronym) labels.text[at++] = c;
        labels.text[at++] = ':';
        labels.text[at++] = ' ';
        for (const char c : f.name) labels.text[at++] = c;
    }
    labels.start[N] = at;
    return labels;
}

constexpr auto classic_labels = compose_labels<label_bytes(csi_functions)>(csi_functions);
constexpr auto extended_labels =
    compose_labels<label_bytes(extended_functions)>(extended_functions);

template <std::size_t Bytes, std::size_t N>
std::string_view label_in(const Labels<Bytes, N>& labels, const std::array<CsiFunction, N>& table,
                          const CsiFunction& f) {
    const auto i = static_cast<std::size_t>(&f - table.data());
    return {labels.text.data() + labels.start[i], labels.start[i + 1] - labels.start[i]};
}

// The commonest sequences have neither marker nor intermediate: their
// records by final byte, found without a search.
constexpr std::uint8_t FIRST_FINAL = 0x40;
constexpr std::size_t N_FINALS = 0x7f - FIRST_FINAL;

// The same for the DEC private functions, with "?" and no intermediate.
constexpr FunctionKey DEC_PRIVATE = function_key('?', 0, 0);

template <std::size_t N>
consteval std::array<const CsiFunction*, N_FINALS> by_final(const std::array<CsiFunction, N>& table,
                                                            FunctionKey marker_and_intermediate) {
    std::array<const CsiFunction*, N_FINALS> index{};
    for (const CsiFunction& f : table) {
        if ((f.key & ~FunctionKey{0xff}) == marker_and_intermediate)
            index[(f.key & 0xff) - FIRST_FINAL] = &f;
    }
    return index;
}
constexpr auto plain_functions = by_final(csi_functions, 0);
constexpr auto dec_private_functions = by_final(csi_functions, DEC_PRIVATE);
constexpr auto plain_extended_functions = by_final(extended_functions, 0);

template <std::size_t N>
const CsiFunction* search(const std::array<CsiFunction, N>& table, FunctionKey key) {
    const auto* end = table.data() + table.size();
    const auto* found = std::lower_bound(
        table.data(), end, key, [](const CsiFunction& f, FunctionKey k) { return f.key < k; });
    return found != end && found->key == key ? found : nullptr;
}

const CsiFunction* find_function(FunctionKey key) {
    if ((key >> 8) == 0) return plain_functions[(key & 0xff) - FIRST_FINAL];
    if ((key & ~FunctionKey{0xff}) == DEC_PRIVATE)
        return dec_private_functions[(key & 0xff) - FIRST_FINAL];
    return search(csi_functions, key);
}

const CsiFunction* find_extended_function(FunctionKey key) {
    if ((key >> 8) == 0) return plain_extended_functions[(key & 0xff) - FIRST_FINAL];
    return search(extended_functions, key);
}

}  // namespace

std::string_view csi_label(const CsiLookup& found) {
    const CsiFunction& f = *found.function;
    if (f.acronym.empty()) return {};  // empty_csi_function among them
    // Only the rows of extended mode have labels of their own.
    return found.own_label ? label_in(extended_labels, extended_functions, f)
                           : label_in(classic_labels, csi_functions, f);
}

CsiLookup lookup_csi_function(const Sequence& s, bool extended) {
    // Only the functions without or with one intermediate are known.
    if (s.n_intermediates > 1) return {};
    const std::uint8_t intermediate = s.n_intermediates == 1 ? s.intermediates[0] : 0;
    if (extended) {
        if (const CsiFunction* f =
                find_extended_function(function_key(s.marker, intermediate, s.final_byte))) {
            return {f, true, true};
        }
    }
    if (const CsiFunction* f = find_function(function_key(s.marker, intermediate, s.final_byte))) {
        return {f, true};
    }
    if (s.marker != 0) {
        if (const CsiFunction* f = find_function(function_key(0, intermediate, s.final_byte))) {
            return {f, false};
        }
    }
    return {};
}

}  // namespace vorsk
