// A run that keeps its work in a recovery file and then waits to be killed:
// recovery_child FOLDER SEED prints "ready" once the file is written.
#include "SessionTestKit.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

using namespace fenban;
using namespace fenban::sessiontest;

int main(int argc, char* argv[])
{
    const QCoreApplication application(argc, argv);
    if (argc != 3)
        return 2;
    Session session(Snapshot(), std::make_unique<RecoveryFile>(argv[1]));
    session.record("调整", Choices(), RecoveryChildWork(static_cast<unsigned>(std::stoul(argv[2]))));
    if (!session.recoveryProblem().empty())
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::hours(1));
    return 0;
}
