// The application as the bus tests start it: `seekwright app` without the
// rest of the front end.
#include "app/Application.h"

int main(int argc, char** argv) {
    return SeekwrightAppMain(argc, argv);
}
