// Language library "f": the trend viewer's resources in French (Latin-1 escapes).
#include "trendview/lang/lang_table.h"

namespace {

constexpr KurvanString kStrings[] = {
    {KURVAN_RES_MAIN_FRAME, "Kurvan"},
    {KURVAN_RES_TREND, "\nCourbe\nCourbe\nFichiers de courbes (*.krv)\n.krv\nKurvan.Trend\nCourbe Kurvan"},
    {KURVAN_RES_TREND_VIEW, "\nCourbe\nCourbe\nFichiers de courbes (*.krv)\n.krv\nKurvan.Trend\nCourbe Kurvan"},
    {KURVAN_STR_APP_TITLE, "Kurvan"},
    {KURVAN_STR_IDLE, "Pr\xEAt"},
    {KURVAN_STR_IND_CAPS, "MAJ"},
    {KURVAN_STR_IND_NUM, "NUM"},
    {KURVAN_STR_IND_SCROLL, "DEF"},
    {KURVAN_STR_COL_NAME, "Nom"},
    {KURVAN_STR_COL_SHOW, "Afficher"},
    {KURVAN_STR_COL_COLOUR, "Couleur"},
    {KURVAN_STR_COL_MINIMUM, "Minimum"},
    {KURVAN_STR_COL_MAXIMUM, "Maximum"},
    {KURVAN_STR_ABSOLUTE_TIME, "Heure absolue"},
    {KURVAN_STR_ELAPSED_TIME, "Temps \xE9" "coul\xE9"},
    {KURVAN_STR_CLEAR_PROMPT, "Effacer toutes les valeurs de la courbe ?"},
    {KURVAN_STR_CSV_FILTER, "Fichiers CSV (*.csv)|*.csv|Tous les fichiers (*.*)|*.*||"},
    {KURVAN_STR_CSV_ERROR, "Le fichier n'a pas pu \xEAtre cr\xE9\xE9."},
    {KURVAN_STR_TOO_SMALL, "La fen\xEAtre est trop petite pour la courbe."},
    {KURVAN_STR_OPEN_ERROR, "Le fichier de courbe n'a pas pu \xEAtre lu."},
    {KURVAN_STR_SAVE_ERROR, "Le fichier de courbe n'a pas pu \xEAtre \xE9" "crit."},
    {KURVAN_STR_PRINT_ERROR, "La page n'a pas pu \xEAtre imprim\xE9" "e."},
    {KURVAN_STR_LEFT_SCALE, "\xC9" "chelle gauche"},
    {KURVAN_STR_RIGHT_SCALE, "\xC9" "chelle droite"},
    {KURVAN_STR_TIME_DISPLAY, "Affichage du temps"},
    {KURVAN_STR_PROPERTY_HEADING, "Param\xE8tre"},
    {KURVAN_STR_COL_CHANNEL, "Canal"},
    {KURVAN_CMD_HOLD, "Figer la courbe affich\xE9" "e ou la suivre de nouveau\nFiger"},
    {KURVAN_CMD_CURSOR, "Afficher ou masquer le curseur\nCurseur"},
    {KURVAN_CMD_CONFIGURE, "Configurer les canaux de la courbe\nCanaux"},
    {KURVAN_CMD_ZOOM_RESET, "Afficher de nouveau toute la courbe\nZoom initial"},
    {KURVAN_CMD_CLEAR, "Effacer toutes les valeurs de la courbe\nEffacer la courbe"},
    {KURVAN_CMD_CSV, "Exporter la courbe dans un fichier CSV\nExport CSV"},
    {KURVAN_CMD_LANGUAGE, "Choisir la langue du programme\nLangue"},
    {KURVAN_CMD_FILE_OPEN, "Ouvrir un fichier de courbe\nOuvrir"},
    {KURVAN_CMD_FILE_CLOSE, "Fermer la fen\xEAtre de la courbe\nFermer"},
    {KURVAN_CMD_FILE_SAVE_AS, "Enregistrer la courbe dans un fichier\nEnregistrer sous"},
    {KURVAN_CMD_PRINT_SETUP, "Changer l'imprimante et les options d'impression\nConfiguration de l'impression"},
    {KURVAN_CMD_PRINT, "Imprimer la courbe\nImprimer"},
    {KURVAN_CMD_PRINT_PREVIEW, "Afficher la page imprim\xE9" "e\nAper\xE7u avant impression"},
    {KURVAN_CMD_MRU_FIRST, "Ouvrir ce fichier de courbe"},
    {KURVAN_CMD_COPY, "Copier le graphique et les valeurs dans le presse-papiers\nCopier"},
    {KURVAN_CMD_WINDOW_ARRANGE, "R\xE9organiser les ic\xF4nes des fen\xEAtres\nR\xE9organiser les ic\xF4nes"},
    {KURVAN_CMD_WINDOW_CASCADE, "Disposer les fen\xEAtres en cascade\nCascade"},
    {KURVAN_CMD_WINDOW_TILE, "Disposer les fen\xEAtres c\xF4te \xE0 c\xF4te\nMosa\xEFque"},
    {KURVAN_CMD_ABOUT, "Afficher les informations du programme\n\xC0 propos"},
    {KURVAN_CMD_EXIT, "Quitter le programme\nQuitter"},
    {KURVAN_CMD_VIEW_TOOLBAR, "Afficher ou masquer la barre d'outils\nBarre d'outils"},
    {KURVAN_CMD_VIEW_STATUSBAR, "Afficher ou masquer la barre d'\xE9tat\nBarre d'\xE9tat"},
};

constexpr KurvanMenuItem kFrameMenu[] = {
    {0, 0, "&Fichier"},
    {1, KURVAN_CMD_FILE_OPEN, "&Ouvrir...\tCtrl+O"},
    {1, 0, ""},
    {1, KURVAN_CMD_MRU_FIRST, "Fichier r\xE9" "cent"},
    {1, 0, ""},
    {1, KURVAN_CMD_EXIT, "&Quitter"},
    {0, 0, "&Affichage"},
    {1, KURVAN_CMD_VIEW_TOOLBAR, "&Barre d'outils"},
    {1, KURVAN_CMD_VIEW_STATUSBAR, "Barre d'\xE9" "&tat"},
    {0, 0, "&Options"},
    {1, KURVAN_CMD_LANGUAGE, "&Langue..."},
    {0, 0, "&?"},
    {1, KURVAN_CMD_ABOUT, "\xC0 &propos de Kurvan..."},
};

constexpr KurvanMenuItem kTrendMenu[] = {
    {0, 0, "&Fichier"},
    {1, KURVAN_CMD_FILE_OPEN, "&Ouvrir...\tCtrl+O"},
    {1, KURVAN_CMD_FILE_CLOSE, "&Fermer"},
    {1, KURVAN_CMD_FILE_SAVE_AS, "Enregistrer &sous..."},
    {1, 0, ""},
    {1, KURVAN_CMD_CSV, "&Export CSV..."},
    {1, 0, ""},
    {1, KURVAN_CMD_PRINT, "&Imprimer...\tCtrl+P"},
    {1, KURVAN_CMD_PRINT_PREVIEW, "&Aper\xE7u avant impression"},
    {1, KURVAN_CMD_PRINT_SETUP, "&Configuration de l'impression..."},
    {1, 0, ""},
    {1, KURVAN_CMD_MRU_FIRST, "Fichier r\xE9" "cent"},
    {1, 0, ""},
    {1, KURVAN_CMD_EXIT, "&Quitter"},
    {0, 0, "&Edition"},
    {1, KURVAN_CMD_COPY, "&Copier\tCtrl+C"},
    {0, 0, "&Affichage"},
    {1, KURVAN_CMD_VIEW_TOOLBAR, "&Barre d'outils"},
    {1, KURVAN_CMD_VIEW_STATUSBAR, "Barre d'\xE9" "&tat"},
    {1, 0, ""},
    {1, KURVAN_CMD_CURSOR, "C&urseur"},
    {1, KURVAN_CMD_ZOOM_RESET, "&Zoom initial"},
    {0, 0, "&Courbe"},
    {1, KURVAN_CMD_HOLD, "&Figer"},
    {1, KURVAN_CMD_CLEAR, "&Effacer la courbe"},
    {1, 0, ""},
    {1, KURVAN_CMD_CONFIGURE, "C&anaux..."},
    {0, 0, "&Options"},
    {1, KURVAN_CMD_LANGUAGE, "&Langue..."},
    {0, 0, "Fe&n\xEAtre"},
    {1, KURVAN_CMD_WINDOW_CASCADE, "&Cascade"},
    {1, KURVAN_CMD_WINDOW_TILE, "&Mosa\xEFque"},
    {1, KURVAN_CMD_WINDOW_ARRANGE, "&R\xE9organiser les ic\xF4nes"},
    {0, 0, "&?"},
    {1, KURVAN_CMD_ABOUT, "\xC0 &propos de Kurvan..."},
};

constexpr KurvanMenu kMenus[] = {
    {KURVAN_RES_MAIN_FRAME, kFrameMenu, kurvanlang::Count(kFrameMenu)},
    {KURVAN_RES_TREND, kTrendMenu, kurvanlang::Count(kTrendMenu)},
    {KURVAN_RES_TREND_VIEW, kTrendMenu, kurvanlang::Count(kTrendMenu)},  // the same menu in both sets
};

constexpr KurvanDialogItem kAboutItems[] = {
    {1000, "Kurvan, affichage des courbes"},
    {1001, "Version 1.0"},
    {1002, "Affiche, imprime et exporte les courbes du simulateur MX74-2."},
    {KURVAN_DLG_ABOUT_GERMAN, "Assistance technique : Orvant GmbH"},
    {1, "OK"},
};
constexpr KurvanDialogItem kChannelItems[] = {{1, "OK"}, {2, "Annuler"}, {9, "Aide"}};

constexpr KurvanDialog kDialogs[] = {
    {KURVAN_DLG_ABOUT, "\xC0 propos de Kurvan", kAboutItems, kurvanlang::Count(kAboutItems)},
    {KURVAN_DLG_CHANNELS, "Canaux", kChannelItems, kurvanlang::Count(kChannelItems)},
};

}  // namespace

KURVAN_LANGUAGE_TABLE('f')
