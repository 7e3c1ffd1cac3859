// The smallest program that loads Qt Core and uses it: the start-up cost
// every Qt Core program pays, against which zentrio-cli's start is measured.

#include <QString>

#include <cstdio>

int main(int argc, char*[])
{
    const QByteArray text = QString::fromLatin1("minimal %1").arg(argc).toUtf8();
    std::puts(text.constData());
    return 0;
}
