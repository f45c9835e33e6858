#include "app/application.h"

#include <QtGlobal>

// The program as it ships, except that it reads its processes from the proc tree that
// PLENWICK_PROC_ROOT names: a missing folder stands for a system whose process list
// cannot be read. Built for the end-to-end tests only; the shipped program reads /proc.
int main(int argc, char *argv[])
{
    return plenwick::runApplication(
        argc, argv, qEnvironmentVariable("PLENWICK_PROC_ROOT", QStringLiteral("/proc")));
}
