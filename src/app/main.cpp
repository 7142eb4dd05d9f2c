#include "app/OstrevaneApp.h"

int main(int argc, char** argv)
{
    return ostrevane::runOstrevaneApp(argc, argv);
}
