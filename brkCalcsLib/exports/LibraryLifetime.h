// Whether the library's singletons still stand. A host may call in from its own exit handlers,
// after the library's statics were destroyed at process exit; such calls must find out and do nothing.
// The first call builds the singletons; at exit the processing threads are stopped before any of
// them is destroyed.
#pragma once

bool LibraryStaticsAlive();
