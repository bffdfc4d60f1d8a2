#include "datamodule.h"
#include "dailycopy.h"
#include "dialogs.h"
#include "foldercheck.h"

#include <QDir>
#include <QThread>
#include <QTimer>
#include <QPointer>

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
    auto folder = std::make_unique<store::DataFolder>(path.absoluteFilePath());
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
    QDir db(QFileInfo(PercorsoDb).absoluteFilePath());
    return QDir::cleanPath(db.absoluteFilePath(QStringLiteral("../copie")));
}

// What to do about a data folder this account cannot write. After a system
// install the folder belongs to a group whose members may write it: the
// advice names that group.
QString DataModule::comeScrivere(const QString& folder)
{
    const QString group = QFileInfo(folder).group();
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    QString advice = QStringLiteral("Chiedere a chi amministra il computer di concedere a questo utente%1 la scrittura "
                                    "nella cartella dati, poi riavviare il programma.")
                         .arg(user.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(user));
    if (!group.isEmpty() && group != QLatin1String("root"))
        advice += QStringLiteral(" La cartella appartiene al gruppo \"%1\": basta aggiungere l'utente a quel gruppo "
                                 "(per esempio con il comando: usermod -aG %1 %2) e rientrare nel computer.")
                      .arg(group, user.isEmpty() ? QStringLiteral("<utente>") : user);
    return advice;
}

bool DataModule::preparaCartella()
{
    m_lock = std::make_unique<store::FolderLock>(m_folder->path());
    m_lock->setClock(Now);
    QString busy;
    switch (m_lock->acquire(&busy)) {
    case store::FolderLock::Result::Acquired:
        break;
    case store::FolderLock::Result::InUse:
        dialogs.error(busy);
        return false;
    case store::FolderLock::Result::Unavailable:
        // A folder that cannot hold the lock file cannot be written either:
        // the check below says so in its own words.
        break;
    }

    // Damaged or missing files first, one at a time, each offered back from
    // the daily copies; then what cannot be written.
    for (int round = 0; round < 16; ++round) {
        // The schema of every file at start (a moment whatever the folder's
        // size); every page is read once a day, before the daily copy.
        const QList<store::FolderProblem> problems = store::checkDataFolder(*m_folder, store::CheckDepth::Schema);
        const store::FolderProblem* broken = nullptr;
        const store::FolderProblem* readOnly = nullptr;
        for (const store::FolderProblem& p : problems) {
            using K = store::FolderProblem::Kind;
            if ((p.kind == K::Damaged || p.kind == K::FileMissing || p.kind == K::Unreadable) && !broken)
                broken = &p;
            else if ((p.kind == K::FolderReadOnly || p.kind == K::FileReadOnly || p.kind == K::FolderMissing) && !readOnly)
                readOnly = &p;
        }
        if (!broken && !readOnly)
            return true;
        if (!broken) {
            dialogs.error(readOnly->message + QStringLiteral("\n\n") + comeScrivere(m_folder->path())
                          + QStringLiteral("\n\nIl programma si chiude senza modificare nulla."));
            return false;
        }
        const bool restorable = broken->kind != store::FolderProblem::Kind::Unreadable
                                && !store::copieGiornaliere(cartellaCopie()).isEmpty();
        if (!restorable) {
            dialogs.error(broken->message + QStringLiteral("\n\nIl programma si chiude senza modificare nulla."));
            return false;
        }
        if (!dialogs.confirm(broken->message
                             + QStringLiteral("\n\nRimettere il file %1 dall'ultima copia giornaliera sana? I dati "
                                              "inseriti in quel file dopo la copia andranno persi; gli altri file "
                                              "restano come sono.").arg(broken->fileName))) {
            dialogs.information(QStringLiteral("Il programma si chiude senza modificare nulla."));
            return false;
        }
        QString from;
        const QString failed = store::ripristinaDaCopia(*m_folder, cartellaCopie(), broken->fileName, &from);
        if (!failed.isEmpty()) {
            dialogs.error(failed + QStringLiteral("\n\nIl programma si chiude."));
            return false;
        }
        dialogs.information(QStringLiteral("Il file %1 è stato rimesso dalla copia giornaliera %2.")
                                .arg(broken->fileName, from));
    }
    return false;
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
    m_verifica.reset(QThread::create([copia, esito] {
        QStringList damaged;
        *esito = copia->finish(&damaged);
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
