/* A small i386 preload library for the 32-bit Wine that runs under
   qemu-i386-static (tools/x86-wine-setup builds it; the sysroot's
   /etc/ld.so.preload loads it into every 32-bit process). It works around
   four behaviours of QEMU 7.2's user mode that break 32-bit Wine 8:
   1. MAP_FIXED_NOREPLACE is ignored: the mapping lands elsewhere instead of
      failing with EEXIST, so Wine's reservation of its address space leaks
      and then loops for about a minute at every process start. A mapping
      that did not land where it was asked for is undone and reported EEXIST.
   2. A guest page fault arrives as SIGSEGV with sigcontext.trapno -1, which
      Wine takes for an unknown trap (an illegal instruction): no guard page,
      stack growth or write watch would work. It is rewritten to 14, the page
      fault (QEMU fills in the error code correctly).
   3. QEMU keeps one GDT for the whole process, so the %fs entries that each
      thread allocates with set_thread_area clash. The allocation request
      (entry_number -1) is refused, and Wine then gives each thread a
      selector of its own in the LDT (modify_ldt), which QEMU does emulate.
   4. The same for glibc's %gs: each thread's TLS gets an LDT entry of its own
      (see below).
   Built freestanding (no libc headers, no start files), since the host has
   no 32-bit libc to build against; the system calls go through int $0x80.
   SHIM_DEBUG=1 in the environment traces each fault and selector call. */

typedef unsigned int size_t;
extern int *__errno_location(void);
extern void *dlsym(void *, const char *);
extern char *getenv(const char *);

enum {
    SysWrite = 4, SysMunmap = 91, SysModifyLdt = 123, SysSigaltstack = 186, SysMmap2 = 192,
    SysGettid = 224, SysSetThreadArea = 243,
    MapFixedNoReplace = 0x100000, SaSiginfo = 4, Sigsegv = 11,
    Einval = 22, Eexist = 17, Enosys = 38
};

/* A raw system call with up to six arguments. */
long raw_syscall(long n, long a, long b, long c, long d, long e, long f);
__asm__(".text\n.globl raw_syscall\n.hidden raw_syscall\n.type raw_syscall,@function\nraw_syscall:\n"
        " push %ebp\n push %edi\n push %esi\n push %ebx\n"
        " mov 20(%esp),%eax\n mov 24(%esp),%ebx\n mov 28(%esp),%ecx\n mov 32(%esp),%edx\n"
        " mov 36(%esp),%esi\n mov 40(%esp),%edi\n mov 44(%esp),%ebp\n int $0x80\n"
        " pop %ebx\n pop %esi\n pop %edi\n pop %ebp\n ret\n");

static int failed(long result) { return (unsigned long)result > 0xfffff000ul; }

static long setErrno(long result)
{
    if (!failed(result)) return result;
    *__errno_location() = (int)-result;
    return -1;
}

/* ---- 1. MAP_FIXED_NOREPLACE */
static void *mapMemory(void *address, size_t length, int protection, int flags, int fd, unsigned long long offset)
{
    if (offset & 4095) {
        *__errno_location() = Einval;
        return (void *)-1;
    }
    const long result = raw_syscall(SysMmap2, (long)address, (long)length, protection, flags & ~MapFixedNoReplace, fd,
                                    (long)(offset >> 12));
    if (failed(result)) return (void *)setErrno(result);
    if ((flags & MapFixedNoReplace) && (void *)result != address) {
        raw_syscall(SysMunmap, result, (long)length, 0, 0, 0, 0);
        *__errno_location() = Eexist;
        return (void *)-1;
    }
    return (void *)result;
}

void *mmap(void *a, size_t l, int p, int f, int fd, long off) { return mapMemory(a, l, p, f, fd, (unsigned long)off); }
void *mmap64(void *a, size_t l, int p, int f, int fd, long long off)
{
    return mapMemory(a, l, p, f, fd, (unsigned long long)off);
}

/* ---- tracing (SHIM_DEBUG) */
static int tracing = -1;

static int isTracing(void)
{
    if (tracing < 0) tracing = getenv("SHIM_DEBUG") ? 1 : 0;
    return tracing;
}

static void trace(const char *text)
{
    int n = 0;
    while (text[n]) n++;
    raw_syscall(SysWrite, 2, (long)text, n, 0, 0, 0);
}

static void traceHex(unsigned value)
{
    char text[11] = " x";
    for (int i = 0; i < 8; i++) {
        const int digit = (value >> (28 - 4 * i)) & 15;
        text[2 + i] = (char)(digit < 10 ? '0' + digit : 'a' + digit - 10);
    }
    text[10] = 0;
    trace(text);
}

static unsigned threadId(void) { return (unsigned)raw_syscall(SysGettid, 0, 0, 0, 0, 0, 0); }

/* ---- 2. the trap number of page faults */
/* glibc's i386 struct sigaction: handler, a 1024-bit mask, flags, restorer. */
struct SignalAction { void *handler; unsigned int mask[32]; int flags; void *restorer; };
typedef void (*SignalHandler)(int, void *, void *);
static SignalHandler wineSegvHandler;

/* Offsets into the i386 siginfo_t and ucontext_t. */
enum { SiCode = 2, SiAddress = 3, UcGregs = 20, RegEsp = 7, RegTrapno = 12, RegErr = 13, RegEip = 14 };
enum { SegvMapErr = 1, SegvAccErr = 2, TrapPageFault = 14, TrapProtection = 13 };

static void segvHandler(int signal, void *info, void *context)
{
    int *registers = (int *)((char *)context + UcGregs);
    const int code = ((int *)info)[SiCode];
    if (isTracing()) {
        trace("shim: segv trapno"); traceHex((unsigned)registers[RegTrapno]);
        trace(" err"); traceHex((unsigned)registers[RegErr]);
        trace(" code"); traceHex((unsigned)code);
        trace(" addr"); traceHex((unsigned)((int *)info)[SiAddress]);
        trace(" eip"); traceHex((unsigned)registers[RegEip]);
        trace(" esp"); traceHex((unsigned)registers[RegEsp]);
        trace(" handler-stack"); traceHex((unsigned)(size_t)&code);
        trace(" tid"); traceHex(threadId());
        trace("\n");
    }
    if (registers[RegTrapno] == -1)
        registers[RegTrapno] = (code == SegvMapErr || code == SegvAccErr) ? TrapPageFault : TrapProtection;
    wineSegvHandler(signal, info, context);
}

int sigaction(int signal, const struct SignalAction *action, struct SignalAction *old)
{
    static int (*real)(int, const struct SignalAction *, struct SignalAction *);
    if (!real) real = (int (*)(int, const struct SignalAction *, struct SignalAction *))dlsym((void *)-1, "sigaction");
    int result;
    if (signal == Sigsegv && action && (action->flags & SaSiginfo) && action->handler != (void *)segvHandler) {
        struct SignalAction wrapped = *action;
        wineSegvHandler = (SignalHandler)action->handler;
        wrapped.handler = (void *)segvHandler;
        result = real(signal, &wrapped, old);
    } else {
        result = real(signal, action, old);
    }
    if (!result && old && old->handler == (void *)segvHandler) old->handler = (void *)wineSegvHandler;
    return result;
}

/* ---- 4. per-thread %gs (glibc's thread pointer)
   glibc keeps each thread's TLS base in a GDT entry (set_thread_area, and
   clone's CLONE_SETTLS), selected by %gs. Linux gives every thread its own
   copy of that entry; QEMU keeps one for the process, which each new thread
   overwrites. A thread goes on with the base it loaded until %gs is loaded
   again, and that happens at every signal (Wine's handlers and the return
   from a signal load it) and when Wine restores a whole context (NtContinue,
   as in the unwinding of every caught exception). From then on the thread
   uses the newest thread's TLS, and Wine's Unix side, which finds the current
   thread through it, takes itself for the other thread: a system call then
   works on that thread's state. Seen: once a second thread existed, the first
   caught exception after a signal (OutputDebugString, which GoogleTest calls
   for a skip) ran away down its stack and died on its guard page, with Wine
   reporting the fault from the other thread and against its stack.
   So every thread gets an LDT entry of its own for its TLS, and %gs selects
   it: the main thread when this library is loaded, each new thread before
   its start routine runs. Only while a thread is being created does its
   parent select the GDT entry again (written back to the parent's base), so
   that clone gives the child the entry it sets up; the child then moves to an
   LDT entry of its own. Wine leaves the first 512 LDT entries alone when %gs
   is an LDT selector, and takes its own from 512 on. */
struct UserDesc { unsigned entry; unsigned base; unsigned limit; unsigned flags; };
enum { TlsFlags = 0x51 /* 32-bit, limit in pages, usable */, TlsLimit = 0xfffff, LdtWrite = 0x11 };
enum { FirstTlsLdtEntry = 1, LastTlsLdtEntry = 511, SysRtSigprocmask = 175, SigSetmask = 2 };

static unsigned tlsBase(void)
{
    unsigned base;
    __asm__ volatile("movl %%gs:0, %0" : "=r"(base)); /* glibc's TCB points at itself */
    return base;
}

static unsigned short gsSelector(void)
{
    unsigned short selector;
    __asm__ volatile("movw %%gs, %0" : "=r"(selector));
    return selector;
}

static void loadGs(unsigned short selector) { __asm__ volatile("movw %0, %%gs" : : "r"(selector)); }

static unsigned short gdtTlsSelector; /* the GDT selector glibc set up, 0 when none */
static int nextTlsLdtEntry = FirstTlsLdtEntry;

/* Moves the running thread's TLS to an LDT entry of its own; with none left it stays where it is. */
static void moveTlsToOwnLdtEntry(void)
{
    const int entry = __atomic_fetch_add(&nextTlsLdtEntry, 1, __ATOMIC_SEQ_CST);
    if (entry > LastTlsLdtEntry) return;
    struct UserDesc descriptor = { (unsigned)entry, tlsBase(), TlsLimit, TlsFlags };
    if (failed(raw_syscall(SysModifyLdt, LdtWrite, (long)&descriptor, sizeof descriptor, 0, 0, 0))) return;
    loadGs((unsigned short)((entry << 3) | 7));
}

__attribute__((constructor)) static void moveMainThreadTls(void)
{
    const unsigned short selector = gsSelector();
    if (selector < 8 || (selector & 4)) return; /* no GDT TLS: nothing shared to work around */
    gdtTlsSelector = selector;
    moveTlsToOwnLdtEntry();
}

struct ThreadStart { void *(*routine)(void *); void *argument; };
extern void *malloc(size_t);
extern void free(void *);

static void *startThread(void *start)
{
    struct ThreadStart begin = *(struct ThreadStart *)start;
    free(start);
    moveTlsToOwnLdtEntry();
    return begin.routine(begin.argument);
}

static int creating; /* one thread at a time selects the shared entry */

int pthread_create(void *thread, const void *attributes, void *(*routine)(void *), void *argument)
{
    static int (*real)(void *, const void *, void *(*)(void *), void *);
    if (!real) real = (int (*)(void *, const void *, void *(*)(void *), void *))dlsym((void *)-1, "pthread_create");
    const unsigned short own = gsSelector();
    struct ThreadStart *start = gdtTlsSelector && own != gdtTlsSelector ? malloc(sizeof *start) : 0;
    if (!start) return real(thread, attributes, routine, argument);
    start->routine = routine;
    start->argument = argument;

    /* No signal may load %gs while it selects the shared entry. */
    unsigned allSignals[2] = { ~0u, ~0u }, previous[2];
    raw_syscall(SysRtSigprocmask, SigSetmask, (long)allSignals, (long)previous, 8, 0, 0);
    while (__atomic_exchange_n(&creating, 1, __ATOMIC_ACQUIRE)) __asm__ volatile("pause");
    struct UserDesc shared = { (unsigned)gdtTlsSelector >> 3, tlsBase(), TlsLimit, TlsFlags };
    raw_syscall(SysSetThreadArea, (long)&shared, 0, 0, 0, 0, 0);
    loadGs(gdtTlsSelector);
    const int result = real(thread, attributes, startThread, start);
    loadGs(own);
    __atomic_store_n(&creating, 0, __ATOMIC_RELEASE);
    raw_syscall(SysRtSigprocmask, SigSetmask, (long)previous, 0, 8, 0, 0);
    if (result) free(start);
    return result;
}

/* ---- 3. per-thread %fs entries */
long syscall(long n, long a, long b, long c, long d, long e, long f)
{
    if (n == SysSetThreadArea && a && ((int *)a)[0] == -1) {
        *__errno_location() = Enosys;
        return -1;
    }
    if (isTracing() && (n == SysModifyLdt || n == SysSetThreadArea)) {
        const int *entry = (const int *)(n == SysModifyLdt ? b : a);
        trace(n == SysModifyLdt ? "shim: modify_ldt tid" : "shim: set_thread_area tid"); traceHex(threadId());
        trace(" entry"); traceHex((unsigned)entry[0]);
        trace(" base"); traceHex((unsigned)entry[1]);
        trace("\n");
    }
    return setErrno(raw_syscall(n, a, b, c, d, e, f));
}

/* Passed through; traced, since the signal stack tells Wine which thread it is in. */
struct SignalStack { void *sp; int flags; size_t size; };
int sigaltstack(const struct SignalStack *stack, struct SignalStack *old)
{
    const long result = raw_syscall(SysSigaltstack, (long)stack, (long)old, 0, 0, 0, 0);
    if (isTracing() && stack) {
        trace("shim: sigaltstack tid"); traceHex(threadId());
        trace(" sp"); traceHex((unsigned)(size_t)stack->sp);
        trace(" size"); traceHex(stack->size);
        trace("\n");
    }
    return failed(result) ? (int)setErrno(result) : 0;
}
