#pragma once
// What a hardened app gets from the system on a Mac, as far as Linux lets a process give it to
// itself: no core dump, and no debugger of the same user where its peer can still look at it.

namespace norvane {

// Sets the core-file limit to 0, the hard one too, so that no process of the user can raise it
// again. Linux lets a process forbid the same user's debugger (ptrace, /proc/<pid>/mem) only by
// making itself non-dumpable, which also hides its map, environment and executable from every
// process of that user without CAP_SYS_PTRACE: the app and its helper, which must look at
// each other to hear each other, would then refuse each other when an ordinary user runs them.
// So the process becomes non-dumpable only while it holds CAP_SYS_PTRACE itself: the helper
// the app starts holds it too (launchd's stand-in starts it with the app's credentials) and can
// still look. Otherwise it stays dumpable, and the check of a peer refuses one that is being
// traced or shows code of no allowed file (CodeSigning). True when it became non-dumpable.
bool hardenProcess();

// What a Mac's loader does for a hardened, signed app: it ignores the variables that would load
// other code into it. When the environment holds one (isLoaderVariable: a library path a CUDA or
// conda setup leaves in the shell, a GTK module path a terminal leaks), the program runs itself
// again, once, without them — before anything else, so nothing they could bring has run but the
// loader's own work for this first start, which the new program image replaces whole. Returns
// when there is nothing to drop, when the program cannot be run again, or when it is the start
// again and still finds one (a preload that keeps itself in every program its process runs, as
// build-interception and fake-root tools do, puts it back): then it goes on as it is, and its
// helper refuses it for the variable, saying so.
void dropLoaderVariables(char** argv);

// Whether this process may look at any process of its user namespace, dumpable or not.
bool holdsPtraceCapability();

}  // namespace norvane
