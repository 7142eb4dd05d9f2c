#include "app/OstrevaneApp.h"

int main()
{
    ostrevane::runOstrevaneApp();
    return 0;
}
