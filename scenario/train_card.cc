#include "scenario/train_card.h"

#include <algorithm>
#include <iterator>
#include <span>

#include "scenario/timetable_rows.h"

namespace sb {
namespace {

// Every row of the timetable table is framed by "|" at columns 2, 8, 14,
// 25, 31, 60, 77 and 83; this rule opens and closes the rows.
constexpr std::string_view kTableRule =
    " |_____|_____|__________|_____|____________________________|________________|_____|";

constexpr std::string_view kHead[] = {
    "",
    "",
    "  ___________________                                               ______________",
    " |                   |                    SCHEDA  TRENO            |              |",
    " |   TRENO n.20573.2 |                   da: SARVENA S.M.N.        |   V 160 B    |",
    " |___________________|                    a: LUCREDO C.LE          |     125%     |",
    "                                                                   |______________|",
    "  ___________________                ___________________",
    " |  CLASSIFICAZIONE  |              |  MASSA BLOCCATA   |       ",
    " |     REGIONALE     |              |      360T         |",
    " |___________________|              |___________________|",
    "",
    "  ________________________________________________________________________________",
    " | Vel.| Vel.| Progr Km |  No |   Localita' di  Servizio   |     Orario     | Rec |",
    " | Lim.|Marc.|          |  Rs |                            |                |     |",
    kTableRule,
};

constexpr std::string_view kFoot[] = {
    kTableRule,
    " ",
    " Il segno (+) indica la misura di tempo di 30 sec.",
    " ",
};

}  // namespace

std::vector<std::string_view> built_in_train_card() {
  const std::span<const std::string_view> rows = built_in_timetable_rows();
  // Sized once and filled in place: head, timetable rows, foot.
  std::vector<std::string_view> card(std::size(kHead) + rows.size() + std::size(kFoot));
  auto next = std::copy(std::begin(kHead), std::end(kHead), card.begin());
  next = std::copy(rows.begin(), rows.end(), next);
  std::copy(std::begin(kFoot), std::end(kFoot), next);
  return card;
}

}  // namespace sb
