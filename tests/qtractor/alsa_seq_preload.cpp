// An LD_PRELOAD library that stands in for the ALSA sequencer device on a
// machine without /dev/snd (Qtractor refuses to start without a sequencer).
// libasound opens /dev/snd/seq and talks to it through ioctl, read and write:
// each open is answered with an eventfd (poll never reports input, output is
// always ready) and becomes a client of a sequencer that knows only the
// clients of this process, their ports and their queues; written events are
// dropped and nothing is ever read.
//
// Set TARVEL_SEQ_PRELOAD_LOG=1 to list the requests it answers on stderr.

#include <dlfcn.h>
#include <fcntl.h>
#include <sound/asequencer.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr const char* kDevice = "/dev/snd/seq";
constexpr int kFirstClient = 128;  // the first number the kernel gives a user client
constexpr size_t kMaxClients = 4;  // Qtractor opens two
constexpr size_t kMaxPorts = 254;
constexpr size_t kMaxQueues = 32;
// The protocol version libasound 1.2 was written against (it refuses another
// major or minor number).
constexpr int kProtocol = SNDRV_PROTOCOL_VERSION(1, 0, 2);

// The open descriptors, one per client slot: read and write check them on
// every call of the process, without the lock. Constant-initialised: libc
// calls may come before this library's constructors have run.
std::array<std::atomic<int>, kMaxClients> g_fds{-1, -1, -1, -1};
static_assert(kMaxClients == 4);

int SlotOf(int fd) {
  if (fd < 0) return -1;
  for (size_t i = 0; i < kMaxClients; ++i) {
    if (g_fds[i].load(std::memory_order_relaxed) == fd) return static_cast<int>(i);
  }
  return -1;
}

struct Client {
  snd_seq_client_info info{};
  std::vector<snd_seq_port_info> ports;
};

struct Queue {
  snd_seq_queue_info info{};
  snd_seq_queue_tempo tempo{};
};

struct Sequencer {
  std::mutex lock;
  std::array<Client, kMaxClients> clients;
  std::vector<Queue> queues;  // a deleted queue keeps its slot, with owner -1
};

Sequencer& State() {
  static Sequencer* sequencer = new Sequencer;  // never destroyed: the host's atexit order is unknown
  return *sequencer;
}

bool Logging() {
  static const bool on = std::getenv("TARVEL_SEQ_PRELOAD_LOG") != nullptr;
  return on;
}

// libc's own entries, looked up once.
struct Libc {
  int (*open)(const char*, int, ...);
  int (*open64)(const char*, int, ...);
  int (*open_2)(const char*, int);
  int (*open64_2)(const char*, int);
  int (*ioctl)(int, unsigned long, ...);
  ssize_t (*read)(int, void*, size_t);
  ssize_t (*write)(int, const void*, size_t);
  int (*close)(int);
};

template <typename Function>
void Resolve(Function& function, const char* name) {
  function = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

const Libc& Real() {
  static const Libc libc = [] {
    Libc l{};
    Resolve(l.open, "open");
    Resolve(l.open64, "open64");
    Resolve(l.open_2, "__open_2");
    Resolve(l.open64_2, "__open64_2");
    Resolve(l.ioctl, "ioctl");
    Resolve(l.read, "read");
    Resolve(l.write, "write");
    Resolve(l.close, "close");
    return l;
  }();
  return libc;
}

bool IsDevice(const char* path) { return path != nullptr && std::strcmp(path, kDevice) == 0; }

int Fail(int error) {
  errno = error;
  return -1;
}

int OpenDevice() {
  Sequencer& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  size_t slot = 0;
  while (slot < kMaxClients && g_fds[slot].load() >= 0) ++slot;
  if (slot == kMaxClients) return Fail(EBUSY);
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return -1;
  Client& client = s.clients[slot];
  client = {};
  client.info.client = kFirstClient + static_cast<int>(slot);
  client.info.type = USER_CLIENT;
  client.info.pid = getpid();
  std::snprintf(client.info.name, sizeof client.info.name, "Client-%d", client.info.client);
  g_fds[slot].store(fd);
  if (Logging()) std::fprintf(stderr, "seq preload: client %d on fd %d\n", client.info.client, fd);
  return fd;
}

snd_seq_port_info* FindPort(Client& client, int port) {
  for (auto& p : client.ports) {
    if (p.addr.port == port) return &p;
  }
  return nullptr;
}

Client* FindClient(Sequencer& s, int number) {
  const int slot = number - kFirstClient;
  if (slot < 0 || slot >= static_cast<int>(kMaxClients) || g_fds[slot].load() < 0) return nullptr;
  return &s.clients[slot];
}

Queue* FindQueue(Sequencer& s, int queue) {
  if (queue < 0 || queue >= static_cast<int>(s.queues.size()) || s.queues[queue].info.owner < 0) return nullptr;
  return &s.queues[queue];
}

// One request of one client; the structures' layouts are the kernel's
// (sound/asequencer.h).
int Answer(Sequencer& s, Client& self, unsigned long request, void* arg) {
  switch (request) {
    case SNDRV_SEQ_IOCTL_PVERSION:
      *static_cast<int*>(arg) = kProtocol;
      return 0;
    case SNDRV_SEQ_IOCTL_CLIENT_ID:
      *static_cast<int*>(arg) = self.info.client;
      return 0;
    case SNDRV_SEQ_IOCTL_USER_PVERSION:
    case SNDRV_SEQ_IOCTL_RUNNING_MODE:
    case SNDRV_SEQ_IOCTL_REMOVE_EVENTS:
    case SNDRV_SEQ_IOCTL_SUBSCRIBE_PORT:
    case SNDRV_SEQ_IOCTL_UNSUBSCRIBE_PORT:
    case SNDRV_SEQ_IOCTL_SET_QUEUE_TIMER:
    case SNDRV_SEQ_IOCTL_SET_QUEUE_CLIENT:
    case SNDRV_SEQ_IOCTL_SET_CLIENT_POOL:
      return 0;
    case SNDRV_SEQ_IOCTL_SYSTEM_INFO: {
      auto* info = static_cast<snd_seq_system_info*>(arg);
      *info = {};
      info->queues = kMaxQueues;
      info->clients = 192;
      info->ports = kMaxPorts;
      info->channels = 256;
      for (const auto& fd : g_fds) info->cur_clients += fd.load() >= 0 ? 1 : 0;
      for (const auto& q : s.queues) info->cur_queues += q.info.owner >= 0 ? 1 : 0;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_GET_CLIENT_INFO:
    case SNDRV_SEQ_IOCTL_QUERY_NEXT_CLIENT: {  // the client asked for, or the next one after it
      auto* info = static_cast<snd_seq_client_info*>(arg);
      int number = info->client;
      Client* client = nullptr;
      if (request == SNDRV_SEQ_IOCTL_GET_CLIENT_INFO) {
        client = FindClient(s, number);
      } else {
        for (number = std::max(number + 1, kFirstClient); client == nullptr && number < kFirstClient + static_cast<int>(kMaxClients); ++number) {
          client = FindClient(s, number);
        }
      }
      if (client == nullptr) return Fail(ENOENT);
      *info = client->info;
      info->num_ports = static_cast<int>(client->ports.size());
      return 0;
    }
    case SNDRV_SEQ_IOCTL_SET_CLIENT_INFO: {
      const auto* info = static_cast<const snd_seq_client_info*>(arg);
      if (info->client != self.info.client) return Fail(EPERM);
      std::memcpy(self.info.name, info->name, sizeof self.info.name);
      self.info.name[sizeof self.info.name - 1] = '\0';
      self.info.filter = info->filter;
      std::memcpy(self.info.event_filter, info->event_filter, sizeof self.info.event_filter);
      return 0;
    }
    case SNDRV_SEQ_IOCTL_QUERY_SUBS:  // nobody is connected to anything
    case SNDRV_SEQ_IOCTL_GET_SUBSCRIPTION:
      return Fail(ENOENT);
    case SNDRV_SEQ_IOCTL_CREATE_PORT: {
      auto* info = static_cast<snd_seq_port_info*>(arg);
      if (self.ports.size() >= kMaxPorts) return Fail(ENOMEM);
      int port = 0;
      if ((info->flags & SNDRV_SEQ_PORT_FLG_GIVEN_PORT) != 0) {
        port = info->addr.port;
        if (FindPort(self, port) != nullptr) return Fail(EBUSY);
      } else {
        while (FindPort(self, port) != nullptr) ++port;
      }
      info->addr.client = static_cast<unsigned char>(self.info.client);
      info->addr.port = static_cast<unsigned char>(port);
      info->kernel = nullptr;
      self.ports.push_back(*info);
      return 0;
    }
    case SNDRV_SEQ_IOCTL_DELETE_PORT: {
      const auto* info = static_cast<const snd_seq_port_info*>(arg);
      for (auto p = self.ports.begin(); p != self.ports.end(); ++p) {
        if (p->addr.port == info->addr.port) {
          self.ports.erase(p);
          return 0;
        }
      }
      return Fail(ENOENT);
    }
    case SNDRV_SEQ_IOCTL_GET_PORT_INFO:
    case SNDRV_SEQ_IOCTL_SET_PORT_INFO:
    case SNDRV_SEQ_IOCTL_QUERY_NEXT_PORT: {
      auto* info = static_cast<snd_seq_port_info*>(arg);
      Client* client = FindClient(s, info->addr.client);
      if (client == nullptr) return Fail(ENOENT);
      snd_seq_port_info* port = nullptr;
      if (request == SNDRV_SEQ_IOCTL_QUERY_NEXT_PORT) {  // the lowest port above addr.port (-1 to start)
        const int after = static_cast<signed char>(info->addr.port);
        for (auto& p : client->ports) {
          if (p.addr.port > after && (port == nullptr || p.addr.port < port->addr.port)) port = &p;
        }
      } else {
        port = FindPort(*client, info->addr.port);
      }
      if (port == nullptr) return Fail(ENOENT);
      if (request == SNDRV_SEQ_IOCTL_SET_PORT_INFO) {
        if (client != &self) return Fail(EPERM);
        const snd_seq_addr addr = port->addr;
        *port = *info;
        port->addr = addr;
        port->kernel = nullptr;
      } else {
        *info = *port;
      }
      return 0;
    }
    case SNDRV_SEQ_IOCTL_CREATE_QUEUE: {
      auto* info = static_cast<snd_seq_queue_info*>(arg);
      size_t queue = 0;
      while (queue < s.queues.size() && s.queues[queue].info.owner >= 0) ++queue;
      if (queue == kMaxQueues) return Fail(ENOMEM);
      if (queue == s.queues.size()) s.queues.emplace_back();
      info->queue = static_cast<int>(queue);
      info->owner = self.info.client;
      Queue& q = s.queues[queue];
      q.info = *info;
      q.tempo = {};
      q.tempo.queue = info->queue;
      q.tempo.tempo = 500000;  // the kernel's defaults: 120 beats a minute, 96 ticks a beat
      q.tempo.ppq = 96;
      q.tempo.skew_value = q.tempo.skew_base = 0x10000;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_DELETE_QUEUE: {
      Queue* queue = FindQueue(s, static_cast<snd_seq_queue_info*>(arg)->queue);
      if (queue == nullptr) return Fail(EINVAL);
      queue->info.owner = -1;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_GET_QUEUE_INFO:
    case SNDRV_SEQ_IOCTL_SET_QUEUE_INFO: {
      auto* info = static_cast<snd_seq_queue_info*>(arg);
      Queue* queue = FindQueue(s, info->queue);
      if (queue == nullptr) return Fail(EINVAL);
      if (request == SNDRV_SEQ_IOCTL_SET_QUEUE_INFO) {
        const int owner = queue->info.owner;
        queue->info = *info;
        queue->info.owner = owner;
      }
      *info = queue->info;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_GET_NAMED_QUEUE: {
      auto* info = static_cast<snd_seq_queue_info*>(arg);
      for (const auto& q : s.queues) {
        if (q.info.owner >= 0 && std::strncmp(q.info.name, info->name, sizeof info->name) == 0) {
          *info = q.info;
          return 0;
        }
      }
      return Fail(EINVAL);
    }
    case SNDRV_SEQ_IOCTL_GET_QUEUE_STATUS: {  // a queue that never runs
      auto* status = static_cast<snd_seq_queue_status*>(arg);
      if (FindQueue(s, status->queue) == nullptr) return Fail(EINVAL);
      const int queue = status->queue;
      *status = {};
      status->queue = queue;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_GET_QUEUE_TEMPO:
    case SNDRV_SEQ_IOCTL_SET_QUEUE_TEMPO: {
      auto* tempo = static_cast<snd_seq_queue_tempo*>(arg);
      Queue* queue = FindQueue(s, tempo->queue);
      if (queue == nullptr) return Fail(EINVAL);
      if (request == SNDRV_SEQ_IOCTL_SET_QUEUE_TEMPO) queue->tempo = *tempo;
      *tempo = queue->tempo;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_GET_QUEUE_TIMER: {
      auto* timer = static_cast<snd_seq_queue_timer*>(arg);
      if (FindQueue(s, timer->queue) == nullptr) return Fail(EINVAL);
      const int queue = timer->queue;
      *timer = {};
      timer->queue = queue;
      timer->type = SNDRV_SEQ_TIMER_ALSA;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_GET_QUEUE_CLIENT: {
      auto* client = static_cast<snd_seq_queue_client*>(arg);
      if (FindQueue(s, client->queue) == nullptr) return Fail(EINVAL);
      client->used = 1;
      return 0;
    }
    case SNDRV_SEQ_IOCTL_GET_CLIENT_POOL: {
      auto* pool = static_cast<snd_seq_client_pool*>(arg);
      *pool = {};
      pool->client = self.info.client;
      pool->output_pool = pool->output_free = 500;
      pool->input_pool = pool->input_free = 1000;
      pool->output_room = 250;
      return 0;
    }
    default:
      return Fail(ENOTTY);
  }
}

mode_t ModeArgument(int flags, va_list args) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  if (IsDevice(path)) return OpenDevice();
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return Real().open(path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  if (IsDevice(path)) return OpenDevice();
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArgument(flags, args);
  va_end(args);
  return Real().open64(path, flags, mode);
}

// The fortified entries (libasound is built with _FORTIFY_SOURCE).
__attribute__((visibility("default"))) int __open_2(const char* path, int flags) {
  if (IsDevice(path)) return OpenDevice();
  return Real().open_2(path, flags);
}

__attribute__((visibility("default"))) int __open64_2(const char* path, int flags) {
  if (IsDevice(path)) return OpenDevice();
  return Real().open64_2(path, flags);
}

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  const int slot = SlotOf(fd);
  if (slot < 0) return Real().ioctl(fd, request, arg);
  if (arg == nullptr) return Fail(EFAULT);
  Sequencer& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  const int result = Answer(s, s.clients[slot], request, arg);
  if (Logging()) {
    std::fprintf(stderr, "seq preload: client %d ioctl 0x%02lx: %s\n", s.clients[slot].info.client, request & 0xff,
                 result == 0 ? "done" : std::strerror(errno));
  }
  return result;
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* buffer, size_t size) {
  if (SlotOf(fd) >= 0) return static_cast<ssize_t>(size);  // events go nowhere
  return Real().write(fd, buffer, size);
}

__attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, size_t size) {
  if (SlotOf(fd) >= 0) return Fail(EAGAIN);  // nothing ever arrives
  return Real().read(fd, buffer, size);
}

__attribute__((visibility("default"))) int close(int fd) {
  const int slot = SlotOf(fd);
  if (slot >= 0) {
    Sequencer& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto& q : s.queues) {
      if (q.info.owner == s.clients[slot].info.client) q.info.owner = -1;
    }
    g_fds[slot].store(-1);
  }
  return Real().close(fd);
}

}  // extern "C"
