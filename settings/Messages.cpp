#include "settings/Messages.h"

// clang-format off
const ProgramMessage kMessages[kMessageCount] = {
    {"Espressione VUOTA!?",                                   "Attenzione!", kMbOk},
    {"Che espressione hai digitato?",                         "Hey!",        kMbOk},
    {"Ricontrolla le parentesi",                              "Errore!",     kMbIconInformation},
    {"Espressione troppol lunga",                             "Attenzione!", kMbOk},
    {"Numero di iterazioni Zero o Negative!",                 "Errore!",     kMbOk},
    {"Il DeltaX e' Zero o Negativo!",                         "Errore!",     kMbOk},
    {"Errore di scrittura: il file esportato e' incompleto!", "Errore!",     kMbOk},
    {"Impossibile creare il file di esportazione!",           "Errore!",     kMbOk},
    {"Per favore lancia l'Help in formato HTML dentro la cartella DOCS", "HELP", kMbOk},
};
// clang-format on

void ShowProgramMessage(QWnd owner, MessageId id) {
    const ProgramMessage& m = kMessages[id];
    ShowMyMessage(owner, m.text, m.title, m.alertType);
}
