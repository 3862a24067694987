// makedemo, installed as kordane-makedb: `kordane-admin init` under its earlier name.
#include "tools/admin/Admin.h"

int main(int argc, char** argv)
{
    return kordane::admin::run(argc, argv, "init");
}
