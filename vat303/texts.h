// The return's texts, in Catalan (CP850 bytes); every one is shown or
// printed through settings::Translate.
#pragma once

namespace vat303::texts {

// ---- progress and the territory's summary --------------------------------------
inline constexpr const char* kProcessing = " PROCESSANT ";
inline constexpr const char* kReportGenerated = "INFORME : GENERATS ";
inline constexpr const char* kFilesIn = " FITXERS A ";

// ---- owner report ---------------------------------------------------------------------
inline constexpr const char* kPage = "P\xB7" "GINA ";
inline constexpr const char* kTitle = "RELACI\xE0" " D'I.V.A. A PRESENTAR DES DEL PROPIETARI ";
inline constexpr const char* kTo = " AL ";
inline constexpr const char* kAt = " A ";
inline constexpr const char* kCode = "CODI";
inline constexpr const char* kOwner = "PROPIETARI";
inline constexpr const char* kProrata = "PROR.";
inline constexpr const char* kOutputVat = "  REPERCUTIT ";
inline constexpr const char* kInputVat = "    SUPORTAT ";
inline constexpr const char* kDeductible = "    DEDU\xD8" "BLE ";
inline constexpr const char* kRegularised = "REGULARITZAT ";
inline constexpr const char* kCompensated = "   COMPENSAT ";
inline constexpr const char* kBalance = "       SALDO ";
inline constexpr const char* kTotals = "TOTALS";
inline constexpr const char* kNotSpanish = "*** no t\x82 nacionalitat espanyola; no el podeu presentar ***";
inline constexpr const char* kNoTaxId = "*** no t\x82 NIF; no el podeu presentar ***";
inline constexpr const char* kNoAccount = "*** falta compte corrent; no el podeu presentar en suport ***";

// ---- messages of this system's own (each followed by the item it names) ---------------
inline constexpr const char* kNoAgency =
    "TERRITORI SENSE ADMINISTRACI\xE0" " TRIBUT\xB7" "RIA ASSIGNADA; NO S'HI GENERA CAP FITXER: ";
inline constexpr const char* kCannotUseDir = "NO ES POT CREAR O ESCRIURE EL DIRECTORI ";
inline constexpr const char* kCannotWrite = "NO ES POT ESCRIURE EL FITXER ";
inline constexpr const char* kCannotDelete = "NO ES POT ESBORRAR EL FITXER ";
inline constexpr const char* kNrcDamaged =
    "EL FITXER NRC EST\xB7" " MALM\xD4" "S (REGISTRES TALLATS O SENSE REGISTRE FINAL); NO S'HI HA FET CAP CANVI: ";
inline constexpr const char* kNrcFull =
    "EL FITXER NRC NO ADMET M\x90" "S SOL\xFA" "LICITUDS (TOTAL O NOMBRE DE REGISTRES MASSA GRANS): ";
inline constexpr const char* kLockedByOther = "FITXER BLOQUEJAT PER UN ALTRE TERMINAL: ";
inline constexpr const char* kRunStopped =
    "GENERACI\xE0" " ATURADA: TORNEU-LA A FER QUAN S'HAGI RESOLT EL PROBLEMA.";
inline constexpr const char* kReadError = "ERROR DE LECTURA AL FITXER ";
inline constexpr const char* kCannotRead = "NO ES POT LLEGIR EL FITXER ";
// A filing pass that did not end, repaired by the next run.
inline constexpr const char* kRepaired = "GENERACI\xE0" " INTERROMPUDA REPARADA A ";
inline constexpr const char* kOwnersConcerned = " - PROPIETARIS: ";
// The territory's summary, after the files written.
inline constexpr const char* kFilesRemoved = "; ESBORRATS ";
inline constexpr const char* kEarlierFiles = " FITXERS ANTERIORS";
inline constexpr const char* kFilesRefused = "; REFUSATS ";
inline constexpr const char* kRefusedFiles = " FITXERS QUE NO COMPLEIXEN LES REGLES";
inline constexpr const char* kFileRefused = "FITXER NO PRESENTABLE, NO S'HA DESAT; PROPIETARI ";
inline constexpr const char* kFolderFault = "FITXERS A REVISAR ABANS D'ENVIAR-LOS: ";
inline constexpr const char* kRequestsNotSaved = "; NO S'HAN DESAT LES SOL\xFA" "LICITUDS NRC";
inline constexpr const char* kOtherAccount =
    "; LES SOL\xFA" "LICITUDS VAN AL COMPTE DE LA CAP\x80" "ALERA DEL FITXER NRC: ";
// Statuses of the record manager in words.
inline constexpr const char* kStatus = "ESTAT ";
inline constexpr const char* kStatusDamaged = "FITXER MALM\xD4" "S O ILLEGIBLE";
inline constexpr const char* kStatusNotOpen = "FITXER NO OBERT";
inline constexpr const char* kStatusDiskFull = "DISC PLE";
inline constexpr const char* kStatusRecordLocked = "REGISTRE BLOQUEJAT PER UN ALTRE USUARI";
inline constexpr const char* kStatusFileLocked = "FITXER EN \xE9" "S PER UN ALTRE USUARI";
inline constexpr const char* kStatusPermission = "PERM\xD6" "S DENEGAT";
inline constexpr const char* kStatusRefused = "EL GESTOR DE REGISTRES HA REFUSAT L'OPERACI\xE0";
inline constexpr const char* kNoHolderTaxId = "FALTA EL NIF DEL TITULAR ([Titular] NIF DE KOVA.INI)";
inline constexpr const char* kCannotCreateSpool = "NO ES POT CREAR EL FITXER D'IMPRESSI\xE0" " ";
inline constexpr const char* kCannotStartPrint = "NO ES POT EXECUTAR EL PROGRAMA D'IMPRESSI\xE0" " ";
inline constexpr const char* kPrintFailed = "EL PROGRAMA D'IMPRESSI\xE0" " HA ACABAT AMB ERROR ";
inline constexpr const char* kReportAt = "INFORME DESAT A ";
inline constexpr const char* kReportToQueue = "INFORME ENVIAT A LA CUA D'IMPRESSI\xE0" " ";
inline constexpr const char* kNothingToPrint = "L'INFORME NO T\x90 CAP L\xD6NIA: NO S'HA IMPR\xD4S RES";
// Data problems (data_problems.h).
inline constexpr const char* kUnknownTerritory =
    "GRUP AMB UN TERRITORI QUE NO \x90" "S A LA TAULA (NO ES DECLARA): ";
inline constexpr const char* kDateNotQuarterEnd =
    "REGISTRE DE PER\xD6" "ODE AMB UNA DATA QUE NO \x90" "S FINAL DE TRIMESTRE: ";
inline constexpr const char* kNegativeBase = "REGISTRE DE PER\xD6" "ODE AMB UNA BASE NEGATIVA: ";
inline constexpr const char* kProrataOutOfRange =
    "REGISTRE DE PER\xD6" "ODE AMB UN PERCENTATGE DE DEDUCCI\xE0" " SUPERIOR A 100: ";
inline constexpr const char* kNoFiscalRecord =
    "PROPIETARI SENSE FITXA FISCAL (NOM PRES DE LA FITXA DEL PROPIETARI): ";
inline constexpr const char* kEmptyFilingName =
    "PROPIETARI SENSE CAP NOM QUE ES PUGUI PRESENTAR (NO ES PRESENTA): ";
inline constexpr const char* kBadOwnerCode = "CODI DE PROPIETARI NO V\xB7" "LID (NO ES PROCESSA): ";

}  // namespace vat303::texts
