// The example documents shipped with the program, for File > Examples.
#pragma once

#include <QString>
#include <QStringList>

// <folder of the executable>/../share/zarnix4/examples when it exists (where an installed
// program finds them), else the source tree's examples/ (a program run from its build
// folder); empty when neither exists.
QString ExamplesDirectory();

// The .zarnix files of `directory`, full paths sorted by name.
QStringList ExampleFiles(const QString& directory);

// "Dragon" for ".../dragon.zarnix", "Sierpinski Arrowhead" for ".../sierpinski_arrowhead.zarnix".
QString ExampleTitle(const QString& path);
