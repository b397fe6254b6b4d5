// The main function of each service executable; what differs between them is the values they link.
#include "service/ServiceEntry.h"

int main(int argc, char* argv[]) {
    return serviceWinMain(argc, argv);
}
