#include "scenario/notes.h"

namespace sb {
namespace {

constexpr std::string_view kNotes[] = {
    "",
    "A cura del Gruppo Scenari - scenari@example.org",
    "",
    "",
    "Il meteo varia sui due versanti dell'Appennino: verso Sarvena la visibilità resta buona, ",
    "mentre verso Lucredo il treno incontra un temporale. La pioggia del temporale viene simulata fino",
    "all'imbocco della grande galleria, ma non al suo interno.",
    "",
    "Rispetto all'altro scenario sulla stessa linea, qui il treno prende la linea lenta, che però ha",
    "diverse fermate ed è attrezzata per la marcia su entrambi i binari.",
    "",
    "La composizione del treno riprende quella storica: otto carrozze per il servizio regionale,",
    "e due locomotori elettrici in testa e in coda.",
    "",
    "Buon viaggio.",
};

}  // namespace

std::span<const std::string_view> built_in_notes() { return kNotes; }

}  // namespace sb
