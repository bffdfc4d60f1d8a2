#include "datamodule.h"
#include "dailycopy.h"
#include "dialogs.h"
#include "foldercheck.h"
#include "schema.h"
#include "sharedfiles.h"

#include <QDir>
#include <QThread>
#include <QTimer>
#include <QPointer>

#include <QFileInfo>

#include <algorithm>

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
}

DataModule::~DataModule()
{
    attendiCopiaGiornaliera();
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
    auto folder = std::make_unique<store::DataFolder>(real);
    if (!folder->exists() || folder->filePath(QStringLiteral("AnagBimbi.DB")).isEmpty())
        return false;
    m_folder = std::move(folder);
    // Two-digit years typed into a date follow the program's clock.
    m_folder->setClock(Now);
    for (store::Table* t : {&Tbl_AnagNido, &Tbl_AnagEdu, &Tbl_AnagBimbi, &Tbl_Valutazioni, &Tbl_Ruoli, &Tbl_Aree,
                            &Tbl_Personale, &Tbl_FasiVal})
        t->setDataFolder(m_folder.get());
    return true;
}

QString DataModule::cartellaCopie() const
{
    // Beside the data folder itself: an installed program's db/ is a link
    // to the data in /var/lib/velmora, where the copies live too.
    const QFileInfo db(QFileInfo(PercorsoDb).absoluteFilePath());
    const QString real = db.canonicalFilePath().isEmpty() ? db.absoluteFilePath() : db.canonicalFilePath();
    return QDir::cleanPath(QDir(real).absoluteFilePath(QStringLiteral("../copie")));
}

// What to do about a data folder (or a file of it) this account cannot
// write: join the group, log in again, or have the group given write.
QString DataModule::comeScrivere(const QString& folder)
{
    return store::comeOttenereScrittura(folder);
}

namespace {

const char* const siChiude = "\n\nIl programma si chiude senza modificare nulla.";

QString righe(qint64 n)
{
    return n == 1 ? QStringLiteral("1 riga") : QStringLiteral("%1 righe").arg(n);
}

} // namespace

bool DataModule::preparaCartella()
{
    return riservaCartella() && controllaCartella();
}

bool DataModule::riservaCartella()
{
    m_lock = std::make_unique<store::FolderLock>(m_folder->path());
    m_lock->setClock(Now);
    QString why;
    if (m_lock->acquire(&why) == store::FolderLock::Result::Acquired)
        return true;
    // In use by another program, or a lock this account cannot take: either
    // way a second program could be working on the folder, so this one ends.
    dialogs.error(why + QString::fromLatin1(siChiude));
    return false;
}

bool DataModule::controllaCartella()
{
    using K = store::FolderProblem::Kind;
    // Damaged or missing files first, one at a time, each offered back from
    // the daily copies; then what cannot be written.
    for (int round = 0; round < 16; ++round) {
        // The schema of every file at start (a moment whatever the folder's
        // size); every page of a file marked damaged while the program ran;
        // every page of all of them once a day, through the daily copy.
        QList<store::FolderProblem> problems = store::checkDataFolder(*m_folder, store::CheckDepth::Schema);
        for (const QString& marked : store::daVerificare(m_folder->path())) {
            const store::TableDef* def = store::tableForFile(marked);
            const QString file = def ? m_folder->filePath(def->fileName) : QString();
            if (!def || file.isEmpty()) {
                if (!def)
                    store::verificato(m_folder->path(), marked);
                continue; // not a table file, or missing: said above
            }
            if (std::any_of(problems.cbegin(), problems.cend(),
                            [&](const store::FolderProblem& p) { return p.fileName == def->fileName; }))
                continue;
            if (auto p = store::checkTableFile(file, *def, m_folder->busyTimeout(), store::CheckDepth::Pages))
                problems.prepend(*p);
            else
                store::verificato(m_folder->path(), marked);
        }
        const store::FolderProblem* broken = nullptr;
        const store::FolderProblem* readOnly = nullptr;
        for (const store::FolderProblem& p : problems) {
            if ((p.kind == K::Damaged || p.kind == K::FileMissing || p.kind == K::Unreadable) && !broken)
                broken = &p;
            else if ((p.kind == K::FolderReadOnly || p.kind == K::FileReadOnly || p.kind == K::FolderMissing) && !readOnly)
                readOnly = &p;
        }
        if (!broken && !readOnly)
            return true;
        if (!broken) {
            const QString what = readOnly->fileName.isEmpty() ? m_folder->path() : m_folder->filePath(readOnly->fileName);
            dialogs.error(readOnly->message + QStringLiteral("\n\n") + comeScrivere(what) + QString::fromLatin1(siChiude));
            return false;
        }
        if (!proponiRipristino(*broken))
            return false;
    }
    return false;
}

bool DataModule::proponiRipristino(const store::FolderProblem& broken)
{
    const QString& file = broken.fileName;
    if (broken.kind == store::FolderProblem::Kind::Unreadable) {
        dialogs.error(broken.message + QString::fromLatin1(siChiude));
        return false;
    }
    const QList<store::CopiaSana> copie = store::copieSane(cartellaCopie(), file, m_folder->busyTimeout());
    if (copie.isEmpty()) {
        dialogs.error(broken.message
                      + QStringLiteral("\n\nNessuna copia giornaliera contiene il file %1 integro.").arg(file)
                      + QString::fromLatin1(siChiude));
        return false;
    }
    const QString conservato = QStringLiteral("Gli altri file restano come sono; il file danneggiato non viene "
                                              "cancellato ma conservato nella cartella \"%1\".")
                                   .arg(QDir::toNativeSeparators(QDir(cartellaCopie()).filePath(QStringLiteral("danneggiati"))));
    auto perdita = [&](const store::CopiaSana& c) {
        return QStringLiteral("andranno persi i dati inseriti in %1 dopo %2").arg(file, store::quandoCopia(c.nome));
    };
    const store::CopiaSana& recente = copie.first();
    const int piuRicca = store::copiaPiuRicca(copie);
    QString scelta;
    if (piuRicca < 0) {
        if (!dialogs.confirm(broken.message
                             + QStringLiteral("\n\nRimettere il file %1 dalla copia giornaliera delle %2? Ne contiene %3; "
                                              "%4.\n%5")
                                   .arg(file, store::quandoCopia(recente.nome).mid(3), righe(recente.righe),
                                        perdita(recente), conservato))) {
            dialogs.information(QStringLiteral("Il programma si chiude senza modificare nulla."));
            return false;
        }
        scelta = recente.nome;
    } else {
        // The newest sound copy holds less of the file than an older one
        // (taken before the day's data was entered, or after rows were
        // lost): both are offered, the fuller one first.
        const store::CopiaSana& ricca = copie[piuRicca];
        const Button b = dialogs.message(
            BoxType::Confirmation,
            broken.message
                + QStringLiteral("\n\nLa copia giornaliera più recente con il file %1 integro, delle %2, ne contiene %3; "
                                 "quella delle %4 ne contiene di più: %5.\n\n"
                                 "Sì: rimettere il file dalla copia delle %4 (%6).\n"
                                 "No: rimettere il file dalla copia delle %2 (%7).\n"
                                 "Annulla: non rimettere nulla; il programma si chiude.\n\n%8")
                      .arg(file, store::quandoCopia(recente.nome).mid(3), righe(recente.righe),
                           store::quandoCopia(ricca.nome).mid(3), righe(ricca.righe), perdita(ricca), perdita(recente),
                           conservato),
            Button::Yes | Button::No | Button::Cancel);
        if (b == Button::Yes) {
            scelta = ricca.nome;
        } else if (b == Button::No) {
            scelta = recente.nome;
        } else {
            dialogs.information(QStringLiteral("Il programma si chiude senza modificare nulla."));
            return false;
        }
    }
    QString from;
    QString aside;
    const QString failed = store::ripristinaDaCopia(*m_folder, cartellaCopie(), file, &from, scelta, &aside, Now());
    if (!failed.isEmpty()) {
        dialogs.error(failed + QStringLiteral("\n\nIl programma si chiude."));
        return false;
    }
    store::verificato(m_folder->path(), file);
    dialogs.information(QStringLiteral("Il file %1 è stato rimesso dalla copia giornaliera delle %2.%3")
                            .arg(file, store::quandoCopia(from).mid(3),
                                 aside.isEmpty() ? QString()
                                                 : QStringLiteral(" Il file danneggiato è conservato nella cartella \"%1\".")
                                                       .arg(QDir::toNativeSeparators(aside))));
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

void DataModule::avviaCopiaGiornaliera()
{
    if (!m_folder || m_copia)
        return;
    m_copia = std::make_unique<store::DailyCopy>(*m_folder, cartellaCopie(), Now());
    // A slice of the files at a time, whenever the window has nothing else
    // to do: the copy reads through the program's own connections, so the
    // user's posts go through meanwhile and are carried into the copy.
    m_copiaTimer = std::make_unique<QTimer>();
    m_copiaTimer->setInterval(0);
    QObject::connect(m_copiaTimer.get(), &QTimer::timeout, m_copiaTimer.get(), [this] {
        if (m_copia->step()) {
            m_copiaTimer->stop();
            verificaCopiaGiornaliera();
        }
    });
    m_copiaTimer->start();
}

void DataModule::verificaCopiaGiornaliera()
{
    if (m_verifica)
        return;
    // Reading every page of the copy and putting it in place touch only the
    // copies: in a thread of its own, so that the window does not wait.
    store::DailyCopy* copia = m_copia.get();
    auto esito = std::make_shared<QString>();
    const QString cartella = m_folder->path();
    m_verifica.reset(QThread::create([copia, esito, cartella] {
        QStringList damaged;
        *esito = copia->finish(&damaged);
        // Marked at once: the next start reads every page of the file and
        // offers it back, even if this program is killed before it ends.
        for (const QString& f : copia->damagedFiles())
            store::segnaDaVerificare(cartella, f);
        if (!damaged.isEmpty())
            *esito = damaged.join(QLatin1Char('\n'))
                     + QStringLiteral("\nChiudere il programma e riavviarlo: verrà proposto di rimettere il file "
                                      "dall'ultima copia giornaliera sana.");
    }));
    Dialogs* d = &dialogs;
    QObject::connect(m_verifica.get(), &QThread::finished, m_verifica.get(), [esito, d] {
        if (!esito->isEmpty())
            d->warning(QStringLiteral("La copia giornaliera dei dati non è stata fatta: ") + *esito
                       + QStringLiteral("\nIl programma prosegue; la copia sarà tentata di nuovo al prossimo avvio."));
    });
    m_verifica->start(QThread::LowPriority);
}

bool DataModule::copiaGiornalieraInCorso() const
{
    return (m_copiaTimer && m_copiaTimer->isActive()) || (m_verifica && !m_verifica->isFinished());
}

void DataModule::attendiCopiaGiornaliera()
{
    if (m_copiaTimer && m_copiaTimer->isActive()) {
        m_copiaTimer->stop();
        while (!m_copia->step())
            ;
        verificaCopiaGiornaliera();
    }
    if (m_verifica)
        m_verifica->wait();
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
