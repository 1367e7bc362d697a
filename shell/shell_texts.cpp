#include "shell/shell_texts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/sim_services.h"

#ifndef SIM_FILE_VERSION
#define SIM_FILE_VERSION ""
#endif

namespace {

constexpr SimTextSet kTexts[SIM_LANGUAGES] = {
    {
        "Simulation SIM/MX74-2 (BV %d)",
        "SIM/MX74-2 - Sprachauswahl",
        "SIM/MX74-2 - Ger\xE4teauswahl",
        "SIM/MX74-2 - Info",
        "Regler",
        {"Version %d.%d", "Version %d.%d.%03d %-4.4s", "Version %d.%d %-4.4s"},
        "Bedienversion %d",
        "Simulation",
        "Bestellnummer",
        "Beta-Version",
        {"Module Leiste A", "Module Leiste P", "Module Leiste B", "Module Leiste C"},
        "Relais",
        "Digital I/O Karte",
        {"&Strecke", "St\xF6ru&ng"},
        "DOK/MX74-2bag.pdf",
        "Fehler beim \xD6" "ffnen der Datei!",
        "(NEU)",
        "Datei \xF6" "ffnen",
        "Datei speichern unter",
        "SIM/MX74-2 (*.sdg)|*.sdg|Alle Dateien (*.*)|*.*|",
        "Die Datei %s ben\xF6tigt eine andere Firmwareversion!",
        "Die Datei %s konnte nicht gelesen werden!",
        "Die Datei konnte nicht geschrieben werden!",
        "%s\nwurde ge\xE4ndert.\n\nM\xF6" "chten Sie die \xC4nderungen speichern?",
        "Letzte Projekte",
        "SIM/MX74-2 - Kommunikation",
        "&Senden",
    },
    {
        "Simulation SIM/MX74-2 (OP %d)",
        "SIM/MX74-2 - Language",
        "SIM/MX74-2 - Device",
        "SIM/MX74-2 - Info",
        "Controller",
        {"Version %d.%d", "Version %d.%d.%03d %-4.4s", "Version %d.%d %-4.4s"},
        "Operating version %d",
        "Simulation",
        "Order code",
        "Beta-Version",
        {"Modules Slot A", "Modules Slot P", "Modules Slot B", "Modules Slot C"},
        "Relay",
        "Digital I/O card",
        {"&Plant", "&Disturb"},
        "DOK/MX74-2bae.pdf",
        "Error while opening the file!",
        "(NEW)",
        "Open File",
        "Save As",
        "SIM/MX74-2 (*.sdg)|*.sdg|All Files (*.*)|*.*|",
        "The file %s requires a different firmware version!",
        "The file %s could not be read!",
        "The file could not be written!",
        "%s\nwas changed.\n\nWould you like to save the changes?",
        "Last Projects",
        "SIM/MX74-2 - Communication",
        "&Send",
    },
    {
        "Simulation SIM/MX74-2 (VU %d)",
        "SIM/MX74-2 - Langue",
        "SIM/MX74-2 - S\xE9lection d'appareil",
        "SIM/MX74-2 - Info",
        "R\xE9gulateur",
        {"Version %d.%d", "Version %d.%d.%03d %-4.4s", "Version %d.%d %-4.4s"},
        "Vers. d'util. %d",
        "Simulation",
        "Num\xE9ro de commande",
        "Beta-Version",
        {"Modules Slot A", "Modules Slot P", "Modules Slot B", "Modules Slot C"},
        "Relais",
        "Carte E/S num\xE9rique",
        {"&Plant", "&D\xE9ranger"},
        "DOK/MX74-2baf.pdf",
        "Erreur en l'ouverture du fichier!",
        "(NOUVEAU)",
        "Ouvrir",
        "Enregistrer sous",
        "SIM/MX74-2 (*.sdg)|*.sdg|Tous les fichiers (*.*)|*.*|",
        "Le fichier %s n\xE9" "cessite une version de firmware diff\xE9rente!",
        "Le fichier %s ne pouvait pas \xEAtre lu!",
        "Ecriture fichier pas possible!",
        "%s\n \xE9t\xE9 modifi\xE9.\n\nSauvegarder les donn\xE9" "es?",
        "Derniers projets",
        "SIM/MX74-2 - Communication",
        "&Envoyer",
    },
};

// One number 0..255 of a version text; advances past it and the dot after it.
bool VersionPart(const char*& p, bool last, unsigned* out) {
  if (*p < '0' || *p > '9') return false;
  unsigned v = 0;
  for (int digits = 0; *p >= '0' && *p <= '9'; ++p) {
    if (++digits > 3) return false;
    v = v * 10 + static_cast<unsigned>(*p - '0');
  }
  if (v > 255) return false;
  if (last ? *p != 0 : *p != '.') return false;
  if (!last) ++p;
  *out = v;
  return true;
}

}  // namespace

const SimTextSet& SimTextsOf(int language) { return kTexts[language >= 0 && language < SIM_LANGUAGES ? language : 0]; }

const SimTextSet& SimTexts() { return SimTextsOf(SimState().language); }

uint32_t SimProgramVersionOf(const char* fileVersion, std::string* text) {
  if (!fileVersion) return 0;
  unsigned v[4];
  const char* p = fileVersion;
  for (int i = 0; i < 4; ++i)
    if (!VersionPart(p, i == 3, &v[i])) return 0;
  if (text) {
    char buf[32];
    if (v[3] == 0)
      std::snprintf(buf, sizeof buf, "%u.%u.%u Beta", v[0], v[1], v[2]);
    else
      std::snprintf(buf, sizeof buf, "%u.%u SR%u", v[0], v[1], v[3]);
    *text = buf;
  }
  return v[0] << 24 | v[1] << 16 | v[2] << 8 | v[3];
}

uint32_t SimProgramVersion(std::string* text) { return SimProgramVersionOf(SIM_FILE_VERSION, text); }
