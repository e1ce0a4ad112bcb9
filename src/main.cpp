#include "app/CQuenrixApp.h"

int main(int argc, char** argv) {
    return quenrix::runQuenrix(argc, argv);
}
