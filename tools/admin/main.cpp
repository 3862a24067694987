// kordane-admin: sets up and looks after a Kordane site's database.
#include "tools/admin/Admin.h"

int main(int argc, char** argv)
{
    return kordane::admin::run(argc, argv);
}
