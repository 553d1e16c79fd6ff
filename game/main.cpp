#include "TazelAppDelegate.h"
#include "TazelApplication.h"

int main(int argc, char** argv) {
    static TazelAppDelegate delegate;
    TazelApplication::sharedApplication().setDelegate(&delegate);
    return TazelApplication::applicationMain(argc, argv);
}
