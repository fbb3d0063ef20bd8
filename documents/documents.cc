#include "documents/documents.h"

namespace sb {

// Placeholders until the crew documents land.
void dati_note(Builder&) {}
void dati_rallentamenti(Builder&) {}
void dati_scheda(Builder&) {}

}  // namespace sb
