#include "cli/statuscommand.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cliterminal.h"
#include "cli/commandline.h"
#include "cli/serveroptions.h"
#include "store/server/serverreport.h"
#include "store/server/serverstore.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

namespace {

QString duration(qint64 seconds)
{
    return u"%1:%2:%3"_s.arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
}

// Where the run's pages come from, as the user gave it.
QString runAddress(const QString &settings)
{
    const QJsonObject object = QJsonDocument::fromJson(settings.toUtf8()).object();
    const QString address = object.value(u"address"_s).toString();
    if (object.value(u"mode"_s).toString() != u"parameter"_s)
        return address;
    return u"%1（%2 至 %3）"_s.arg(address, object.value(u"from"_s).toString(), object.value(u"to"_s).toString());
}

QString describe(const ServerRunStatus &run)
{
    QString text = u"采集 %1（%2）：%3\n"_s.arg(run.id)
                       .arg(run.finished ? u"已完成"_s : u"进行中"_s)
                       .arg(runAddress(run.settings));
    text += u"  发布于 %1，网页 %2：存入 %3，跳过 %4，失败 %5，待采集 %6（已认领 %7）；记录 %8\n"_s
                .arg(run.published.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s))
                .arg(run.pages)
                .arg(run.stored)
                .arg(run.skipped)
                .arg(run.failed)
                .arg(run.pending)
                .arg(run.claimed)
                .arg(run.records);
    if (!run.finished) {
        const double perSecond = run.doneLastMinutes / (ServerRunStatus::RateMinutes * 60.0);
        text += u"  最近 %1 分钟 %2 页/秒，活动进程 %3"_s.arg(ServerRunStatus::RateMinutes)
                    .arg(perSecond, 0, 'f', 1)
                    .arg(run.workers);
        if (perSecond > 0)
            text += u"，预计剩余 %1"_s.arg(duration(qint64(run.pending / perSecond)));
        text += u'\n';
    }
    for (const auto &[reason, pages] : run.failures)
        text += u"  失败 %1 页：%2\n"_s.arg(pages).arg(reason);
    return text;
}

} // namespace

int runStatus(const QStringList &arguments)
{
    CommandLine commandLine(u"pagrion-cli status --server URI [选项]"_s,
                            u"显示结果服务器上每次批量采集的进度：网页总数，存入、跳过、失败和待采集的网页数，记录数，"
                            u"最近几分钟的速度、预计剩余时间和正在采集的进程数，以及失败的原因。任何一台机器上都可以查看。\n"
                            u"退出状态：0 成功，2 命令行有误，4 结果服务器无法连接或出错。"_s,
                            CommandLine::Pages::None);
    const ServerOptions serverOptions;
    serverOptions.addTo(commandLine.parser(), false);
    commandLine.parse(arguments);
    if (commandLine.helpRequested()) {
        writeOutput(commandLine.helpText());
        return int(ExitCode::Success);
    }
    if (!commandLine.parser().isSet(serverOptions.server))
        fail(ExitCode::Usage, u"请用 --server 指定结果服务器。"_s);
    const auto server = openServer(commandLine.parser().value(serverOptions.server));
    const auto runs = readServerStatus(server->connection());
    if (!runs)
        fail(ExitCode::Database, runs.error());
    if (runs.value().isEmpty())
        writeOutput(u"结果服务器上还没有批量采集。\n"_s);
    for (const ServerRunStatus &run : runs.value())
        writeOutput(describe(run));
    return int(ExitCode::Success);
}

} // namespace pagrion::cli
