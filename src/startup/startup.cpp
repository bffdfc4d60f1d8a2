#include "startup.h"
#include "dailycopy.h"
#include "dialogs.h"
#include "foldercheck.h"
#include "folderlock.h"
#include "schema.h"
#include "serverlocks.h"
#include "sharedfiles.h"
#include "upgrade.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace velmora::startup {

Avvio::Avvio(DataModule* data)
    : m_data(*data)
{
}

Avvio::~Avvio()
{
    termina();
}

Esito Avvio::avvia(Finestra& finestra)
{
    DataModule& data = m_data;
    // There is no window skin on this platform: the classic look is always on.

    // The data folder beside the program, and its children table, or nothing.
    if (!data.bind())
        return Esito::CartellaMancante;
    // One program per folder, and every file sound and writable, before
    // anything asks the user for anything else. On a server several
    // programs work at once and the files are not there: the server keeps
    // its tables sound and its own backups.
    // The program holds the server's shared lock instead, and brings the
    // tables up to date only under the exclusive one (riservaServer).
    const bool server = data.folder()->isServer();
    if (server ? !riservaServer() : (!riservaCartella() || !controllaCartella()))
        return Esito::NonParte;
    // The files brought to the version this program writes; a step that
    // cannot be made leaves its file at the version it had, to be tried
    // again at the next start (the folder check has already refused files
    // this account cannot write).
    if (!server)
        store::AggiornaSchema(*data.folder(), [&data](const QString& text) { data.dialogs.warning(text); });
    // The day's copy, made while the window is idle.
    if (!server)
        avviaCopiaGiornaliera();

    // Seeds the colours of the charts' surplus series.
    data.Random.seed(quint32(QDateTime::currentMSecsSinceEpoch()));
    data.FiltroFrequenza = DataModule::attendingOnly;

    // The access panel in front, nothing else; no nursery yet.
    if (data.shell)
        data.shell->mostraAccesso();
    finestra.nascondiSchede();
    data.IdNidoCorrente = QStringLiteral("0");
    if (data.shell)
        data.shell->mostraVersione();

    bool fine = false;
    store::Table& nidi = data.Tbl_AnagNido;
    data.guarded([&] {
        nidi.open();
        // A nursery is needed before anything else can be done.
        for (;;) {
            if (nidi.isEmpty()) {
                DataModule::ImpostaSolaLettura(nidi, false);
                finestra.nuovoNido();
                DataModule::ImpostaSolaLettura(nidi, true);
            }
            if (!nidi.isEmpty())
                break;
            if (!data.dialogs.confirm(QStringLiteral("Per proseguire è indispensabile inserire un nido. Procedere?"))) {
                fine = true;
                break;
            }
        }
        // The first nursery (by name) is the current one.
        data.IdNidoCorrente = nidi.asString(QStringLiteral("Id"));
        finestra.nidoScelto();
        data.Tbl_Ruoli.open();
        data.Tbl_Ruoli.first();
    });
    return fine ? Esito::Fine : Esito::Prosegue;
}

QString Avvio::cartellaCopie() const
{
    // Beside the data folder itself: an installed program's db/ is a link
    // to the data in /var/lib/velmora, where the copies live too.
    const QFileInfo db(QFileInfo(m_data.PercorsoDb).absoluteFilePath());
    const QString real = db.canonicalFilePath().isEmpty() ? db.absoluteFilePath() : db.canonicalFilePath();
    return QDir::cleanPath(QDir(real).absoluteFilePath(QStringLiteral("../copie")));
}


// What to do about a data folder (or a file of it) this account cannot
// write: join the group, log in again, or have the group given write.
QString Avvio::comeScrivere(const QString& folder)
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

bool Avvio::riservaCartella()
{
    m_lock = std::make_unique<store::FolderLock>(m_data.folder()->path());
    m_lock->setClock(m_data.Now);
    QString why;
    if (m_lock->acquire(&why) == store::FolderLock::Result::Acquired)
        return true;
    // In use by another program, or a lock this account cannot take: either
    // way a second program could be working on the folder, so this one ends.
    m_data.dialogs.error(why + QString::fromLatin1(siChiude));
    return false;
}

bool Avvio::riservaServer()
{
    store::DataFolder& folder = *m_data.folder();
    QString why;
    if (!store::holdProgramLock(folder, &why)) {
        m_data.dialogs.error(why + QString::fromLatin1(siChiude));
        return false;
    }
    try {
        if (store::serverSchemaIsCurrent(folder))
            return true;
        // Older tables: rewritten only while no other program works on them.
        if (!store::takeExclusiveLock(folder)) {
            m_data.dialogs.error(QStringLiteral("Le tabelle del %1 sono di una versione precedente del programma e vanno "
                                                "aggiornate, ma altri programmi Velmora le stanno usando.\n\n"
                                                "Chiudere gli altri programmi Velmora collegati al server e riavviare "
                                                "questo: l'aggiornamento si fa quando è l'unico al lavoro.")
                                     .arg(folder.serverLine().describe())
                                 + QString::fromLatin1(siChiude));
            return false;
        }
        store::AggiornaSchema(folder, [this](const QString& text) { m_data.dialogs.warning(text); });
        store::releaseExclusiveLock(folder);
    } catch (const store::DbError& e) {
        m_data.dialogs.error(e.message() + QString::fromLatin1(siChiude));
        return false;
    }
    return true;
}

bool Avvio::controllaCartella()
{
    using K = store::FolderProblem::Kind;
    // Damaged or missing files first, one at a time, each offered back from
    // the daily copies; then what cannot be written.
    for (int round = 0; round < 16; ++round) {
        // The schema of every file at start (a moment whatever the folder's
        // size); every page of a file marked damaged while the program ran;
        // every page of all of them once a day, through the daily copy.
        QList<store::FolderProblem> problems = store::checkDataFolder(*m_data.folder(), store::CheckDepth::Schema);
        for (const QString& marked : store::daVerificare(m_data.folder()->path())) {
            const store::TableDef* def = store::tableForFile(marked);
            const QString file = def ? m_data.folder()->filePath(def->fileName) : QString();
            if (!def || file.isEmpty()) {
                if (!def)
                    store::verificato(m_data.folder()->path(), marked);
                continue; // not a table file, or missing: said above
            }
            if (std::any_of(problems.cbegin(), problems.cend(),
                            [&](const store::FolderProblem& p) { return p.fileName == def->fileName; }))
                continue;
            if (auto p = store::checkTableFile(file, *def, m_data.folder()->busyTimeout(), store::CheckDepth::Pages))
                problems.prepend(*p);
            else
                store::verificato(m_data.folder()->path(), marked);
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
            const QString what = readOnly->fileName.isEmpty() ? m_data.folder()->path() : m_data.folder()->filePath(readOnly->fileName);
            m_data.dialogs.error(readOnly->message + QStringLiteral("\n\n") + comeScrivere(what) + QString::fromLatin1(siChiude));
            return false;
        }
        if (!proponiRipristino(*broken))
            return false;
    }
    return false;
}

bool Avvio::proponiRipristino(const store::FolderProblem& broken)
{
    const QString& file = broken.fileName;
    if (broken.kind == store::FolderProblem::Kind::Unreadable) {
        m_data.dialogs.error(broken.message + QString::fromLatin1(siChiude));
        return false;
    }
    const QList<store::CopiaSana> copie = store::copieSane(cartellaCopie(), file, m_data.folder()->busyTimeout());
    if (copie.isEmpty()) {
        m_data.dialogs.error(broken.message
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
        if (!m_data.dialogs.confirm(broken.message
                             + QStringLiteral("\n\nRimettere il file %1 dalla copia giornaliera delle %2? Ne contiene %3; "
                                              "%4.\n%5")
                                   .arg(file, store::quandoCopia(recente.nome).mid(3), righe(recente.righe),
                                        perdita(recente), conservato))) {
            m_data.dialogs.information(QStringLiteral("Il programma si chiude senza modificare nulla."));
            return false;
        }
        scelta = recente.nome;
    } else {
        // The newest sound copy holds less of the file than an older one
        // (taken before the day's data was entered, or after rows were
        // lost): both are offered, the fuller one first.
        const store::CopiaSana& ricca = copie[piuRicca];
        const Button b = m_data.dialogs.message(
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
            m_data.dialogs.information(QStringLiteral("Il programma si chiude senza modificare nulla."));
            return false;
        }
    }
    QString from;
    QString aside;
    const QString failed = store::ripristinaDaCopia(*m_data.folder(), cartellaCopie(), file, &from, scelta, &aside, m_data.Now());
    if (!failed.isEmpty()) {
        m_data.dialogs.error(failed + QStringLiteral("\n\nIl programma si chiude."));
        return false;
    }
    store::verificato(m_data.folder()->path(), file);
    m_data.dialogs.information(QStringLiteral("Il file %1 è stato rimesso dalla copia giornaliera delle %2.%3")
                            .arg(file, store::quandoCopia(from).mid(3),
                                 aside.isEmpty() ? QString()
                                                 : QStringLiteral(" Il file danneggiato è conservato nella cartella \"%1\".")
                                                       .arg(QDir::toNativeSeparators(aside))));
    return true;
}


void Avvio::avviaCopiaGiornaliera()
{
    if (!m_data.folder() || m_copia)
        return;
    m_copia = std::make_unique<store::DailyCopy>(*m_data.folder(), cartellaCopie(), m_data.Now());
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

void Avvio::verificaCopiaGiornaliera()
{
    if (m_verifica)
        return;
    // Reading every page of the copy and putting it in place touch only the
    // copies: in a thread of its own, so that the window does not wait.
    store::DailyCopy* copia = m_copia.get();
    auto esito = std::make_shared<QString>();
    const QString cartella = m_data.folder()->path();
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
    Dialogs* d = &m_data.dialogs;
    QObject::connect(m_verifica.get(), &QThread::finished, m_verifica.get(), [esito, d] {
        if (!esito->isEmpty())
            d->warning(QStringLiteral("La copia giornaliera dei dati non è stata fatta: ") + *esito
                       + QStringLiteral("\nIl programma prosegue; la copia sarà tentata di nuovo al prossimo avvio."));
    });
    m_verifica->start(QThread::LowPriority);
}

bool Avvio::copiaGiornalieraInCorso() const
{
    return (m_copiaTimer && m_copiaTimer->isActive()) || (m_verifica && !m_verifica->isFinished());
}

void Avvio::attendiCopiaGiornaliera()
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

void Avvio::termina()
{
    attendiCopiaGiornaliera();
    m_verifica.reset();
    m_copiaTimer.reset();
    m_copia.reset();
}

} // namespace velmora::startup
