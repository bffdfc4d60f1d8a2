#include "datamodule.h"
#include "dialogs.h"
#include "foldercheck.h"
#include "installer.h"
#include "errors.h"
#include "schema.h"
#include "serverline.h"
#include "sharedfiles.h"

#include <QDir>

#include <QFileInfo>

namespace velmora {

const QString DataModule::attendingOnly = QStringLiteral(" and (frequenza is null or frequenza = True)");

DataModule::DataModule(Dialogs& d)
    : dialogs(d)
{
    const struct { store::Table* table; const char* file; const char* index; bool readOnly; } bindings[] = {
        {&Tbl_AnagNido, "AnagNido.db", "Nominativo", true},
        {&Tbl_AnagEdu, "AnagEdu.db", "Cognome-Nome", true},
        {&Tbl_AnagBimbi, "AnagBimbi.DB", "Cognome-Nome", true},
        {&Tbl_Valutazioni, "Valutaz.db", "", false},
        {&Tbl_Ruoli, "Ruoli.db", "", true},
        {&Tbl_Aree, "Aree.db", "", true},
        {&Tbl_Personale, "Personale.db", "", false},
        {&Tbl_FasiVal, "FasiVal.db", "NumeroFase", false},
    };
    for (const auto& b : bindings) {
        b.table->setTableName(QString::fromLatin1(b.file));
        b.table->setIndexName(QString::fromLatin1(b.index));
        b.table->setReadOnly(b.readOnly);
    }
    // The staff and phases of an evaluation show their educator, role and
    // area through lookups; opening either table opens the tables they read.
    Tbl_Personale.addLookupField(QStringLiteral("Educatrice"), 30, QStringLiteral("Id_Educatrice"), &Tbl_AnagEdu,
                                 QStringLiteral("Id"), QStringLiteral("Nominativo"));
    Tbl_Personale.addLookupField(QStringLiteral("Ruolo"), 30, QStringLiteral("Id_Ruolo"), &Tbl_Ruoli,
                                 QStringLiteral("Id"), QStringLiteral("Ruolo"));
    Tbl_FasiVal.addLookupField(QStringLiteral("Area"), 2, QStringLiteral("Id_Area"), &Tbl_Aree,
                               QStringLiteral("Id"), QStringLiteral("AreaBreve"));
    // What the data controls meet on their own is told as the handlers'.
    dialogs.engineError = [this](const store::DbError& e) { erroreMotore(e); };
}

DataModule::~DataModule()
{
    dialogs.engineError = nullptr;
    // The table objects close (dropping what is pending) before the folder
    // that holds their connections goes.
    for (store::Table* t : {&Tbl_App, &Tbl_FasiVal, &Tbl_Personale, &Tbl_Aree, &Tbl_Ruoli, &Tbl_Valutazioni,
                            &Tbl_AnagBimbi, &Tbl_AnagEdu, &Tbl_AnagNido})
        t->close();
}

bool DataModule::bind()
{
    const QFileInfo path(PercorsoDb);
    // A folder this account may not even read (an installed data folder is
    // private to its group): said with the group and the command, never a
    // silent end.
    if (path.isDir() && (!path.isReadable() || !path.isExecutable())) {
        dialogs.error(QStringLiteral("La cartella dati \"%1\" non si può aprire da questo utente (%2).\n\n%3"
                                     "\n\nIl programma si chiude senza modificare nulla.")
                          .arg(QDir::toNativeSeparators(path.absoluteFilePath()), store::currentAccount(),
                               store::comeOttenereScrittura(path.absoluteFilePath())));
        return false;
    }
    // The folder's real place: an installed db/ is a link into /var/lib, and
    // what the messages name (and the commands they give) is the real one.
    const QString real = path.canonicalFilePath().isEmpty() ? path.absoluteFilePath() : path.canonicalFilePath();
    std::unique_ptr<store::DataFolder> folder;
    try {
        const store::EngineChoice choice = store::chooseEngine(real, RigaServer);
        if (choice.engine == store::Engine::PostgreSQL) {
            // The tables are on a server: the one connection of the program
            // is made now, so that a server that does not answer is said
            // before anything else.
            folder = std::make_unique<store::DataFolder>(real, choice.line);
            const QStringList missing = store::missingServerTables(*folder);
            if (!missing.isEmpty())
                throw store::DbError(QStringLiteral("Il %1 non contiene le tabelle del programma (manca %2): "
                                                    "l'amministratore deve prepararlo.")
                                         .arg(choice.line.describe(), missing.join(QStringLiteral(", "))),
                                     store::DbError::Cause::Missing);
        }
    } catch (const store::DbError& e) {
        dialogs.error(e.message() + QStringLiteral("\n\nIl programma si chiude senza modificare nulla."));
        return false;
    }
    if (!folder) {
        folder = std::make_unique<store::DataFolder>(real);
        if (!folder->exists() || folder->filePath(QStringLiteral("AnagBimbi.DB")).isEmpty())
            return false;
    }
    m_folder = std::move(folder);
    // Two-digit years typed into a date follow the program's clock.
    m_folder->setClock(Now);
    for (store::Table* t : {&Tbl_AnagNido, &Tbl_AnagEdu, &Tbl_AnagBimbi, &Tbl_Valutazioni, &Tbl_Ruoli, &Tbl_Aree,
                            &Tbl_Personale, &Tbl_FasiVal})
        t->setDataFolder(m_folder.get());
    return true;
}

void DataModule::segnaDanneggiato(const QString& fileName)
{
    if (m_folder && !fileName.isEmpty())
        store::segnaDaVerificare(m_folder->path(), fileName);
}

void DataModule::erroreMotore(const store::DbError& e)
{
    if (e.cause() == store::DbError::Cause::Damaged && m_folder && !e.fileName().isEmpty()
        && store::tableForFile(e.fileName())) {
        segnaDanneggiato(e.fileName());
        showError(e.message()
                  + QStringLiteral("\n\nChiudere il programma e riavviarlo: all'avvio il file %1 sarà controllato "
                                   "pagina per pagina e verrà proposto di rimetterlo dall'ultima copia giornaliera sana.")
                        .arg(e.fileName()));
        return;
    }
    showError(e.message());
}

void DataModule::ImpostaSolaLettura(store::Table& table, bool readOnly)
{
    table.close();
    table.setReadOnly(readOnly);
    table.open();
}

void DataModule::impostaFiltro(store::Table& table, const QString& filter)
{
    table.setFiltered(false);
    table.setFilter(filter);
    table.setFiltered(true);
}

int DataModule::wholeNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : 0;
}

void DataModule::ApplicaFiltroBimbi()
{
    impostaFiltro(Tbl_AnagBimbi, QStringLiteral("Id_Nido=%1").arg(wholeNumber(IdNidoCorrente)) + FiltroFrequenza);
}

void DataModule::AbilitaNavigazione(bool enabled)
{
    if (shell)
        shell->AbilitaNavigazione(enabled);
}

void DataModule::AzzeraSelezioni()
{
    Tbl_App.close();
    Tbl_App.setDataFolder(m_folder.get());
    Tbl_App.setTableName(QStringLiteral("Valutaz.db"));
    Tbl_App.setIndexName(QString());
    Tbl_App.setFiltered(false);
    Tbl_App.setFilter(QString());
    // One statement over the file; the copy cursor reads no row for it.
    Tbl_App.setAllUnread(QStringLiteral("Sel"), false);
}

void DataModule::showError(const QString& message)
{
    dialogs.error(message);
}

} // namespace velmora
