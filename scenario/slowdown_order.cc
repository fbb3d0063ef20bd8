#include "scenario/slowdown_order.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace sb {
namespace {

// The table's "|" stand at columns 2, 6, 35, 48, 59, 69 and 82; this rule
// closes the heading and the table.
constexpr std::string_view kTableRule =
    " |___|____________________________|____________|__________|_________|____________|";

constexpr std::string_view kHead[] = {
    "",
    "                               Modulo M. 3",
    "                           ORDINE DI RALLENTAMENTO",
    " ________________________________________________________________________________",
    "  Linea  SARVENA S.M.N. - LUCREDO C.LE    ",
    "",
    "  Si ordina al macchinista del treno 20573.2 di effettuare i seguenti rallentamenti",
    "  _______________________________________________________________________________",
    " |   |                            |Inizio dopo |          |         |            |",
    " | N.|      FRA LE STAZIONI       | il cippo   | Velocita'|Lunghezza|Prescrizioni|",
    " |   |   (o nelle Stazioni di)    |chilometrico|          |   metri | specifiche |",
    kTableRule,
};

// The slowdown of the built-in train: from 29.000 km, 30 km/h over 600 m.
constexpr std::string_view kFilledRow =
    " | 1 | VAIANO - VERNIO            |   29.000   |    30    |   600   |            |";
constexpr std::string_view kEmptyRow =
    " |   |                            |            |          |         |            |";
constexpr size_t kEmptyRowCount = 25;

constexpr std::string_view kTail[] = {
    kTableRule,
    "",
    "              Prescrizioni specifiche",
    " A - Da rispettare con tutto il treno (per i treni viaggiatori)",
    " B - Interessa anche la stazione di.......",
    " D - Rallentamneto N. ... e N. ...  sono contigui",
    " C - Da rispettare dalle ore ....  alle ore ..... di tutti",
    "     i giorni esclusi i seguenti:.........",
};

constexpr auto kForm = [] {
  std::array<std::string_view, std::size(kHead) + 1 + kEmptyRowCount + std::size(kTail)> form{};
  auto out = std::copy(std::begin(kHead), std::end(kHead), form.begin());
  *out++ = kFilledRow;
  out = std::fill_n(out, kEmptyRowCount, kEmptyRow);
  std::copy(std::begin(kTail), std::end(kTail), out);
  return form;
}();

static_assert(kForm.size() == 46);

}  // namespace

std::span<const std::string_view> built_in_slowdown_order() { return kForm; }

}  // namespace sb
