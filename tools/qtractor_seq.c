/* A stand-in for the ALSA sequencer, preloaded into Qtractor by tools/qtractor-check.sh on machines whose kernel has
 * no sequencer (no /dev/snd/seq): Qtractor will not start its MIDI engine without one, and without that engine no
 * MIDI track plays. It defines, in place of libasound's, exactly the sequencer calls Qtractor makes: one client
 * (ours), the ports it creates, one queue whose tick time runs with the monotonic clock at the tempo set, and no
 * other clients or subscribers, so that events sent out to ports go nowhere. Qtractor hands a track's MIDI to the
 * track's plug-ins itself, on the audio thread, so the plug-ins play as they would with the kernel's sequencer.
 * Build: cc -shared -fPIC -O2 -o qtractor_seq.so qtractor_seq.c */
#include <alsa/asoundlib.h>
#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define API __attribute__((visibility("default")))
enum { OUR_CLIENT = 128, MAX_PORTS = 64 };

struct _snd_seq {
  int pipe[2]; /* poll() waits on its read end, which never becomes readable */
  char name[64];
  char ports[MAX_PORTS][64];
  unsigned caps[MAX_PORTS];
  int used[MAX_PORTS];
};
struct _snd_seq_client_info {
  int client;
  char name[64];
};
struct _snd_seq_port_info {
  int client, port;
  unsigned caps;
  char name[64];
};
struct _snd_seq_port_subscribe {
  snd_seq_addr_t sender, dest;
};
struct _snd_seq_query_subscribe {
  snd_seq_addr_t root, addr;
  int index, type;
};
struct _snd_seq_queue_status {
  snd_seq_tick_time_t tick;
};
struct _snd_seq_queue_tempo {
  unsigned tempo, skew, skew_base;
  int ppq;
};
struct _snd_seq_queue_timer {
  int type;
};
struct _snd_seq_remove_events {
  int unused;
};

/* The one queue: while it runs, its tick is the tick it started from plus the clock's time since at the tempo. */
static pthread_mutex_t queue_lock = PTHREAD_MUTEX_INITIALIZER;
static int queue_running;
static double queue_base_tick, queue_started;
static unsigned queue_tempo_us = 500000, queue_skew = 0x10000, queue_skew_base = 0x10000;
static int queue_ppq = 96;

static double now_seconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}
static double ticks_now(void) { /* with queue_lock held */
  if (!queue_running) return queue_base_tick;
  double rate = (double)queue_ppq * 1e6 / (double)queue_tempo_us * (double)queue_skew / (double)queue_skew_base;
  return queue_base_tick + (now_seconds() - queue_started) * rate;
}

API int snd_seq_open(snd_seq_t** handle, const char* name, int streams, int mode) {
  (void)name, (void)streams, (void)mode;
  snd_seq_t* seq = calloc(1, sizeof *seq);
  if (!seq) return -ENOMEM;
  if (pipe(seq->pipe) != 0) {
    free(seq);
    return -errno;
  }
  snprintf(seq->name, sizeof seq->name, "Client-%d", OUR_CLIENT);
  *handle = seq;
  return 0;
}
API int snd_seq_close(snd_seq_t* seq) {
  close(seq->pipe[0]);
  close(seq->pipe[1]);
  free(seq);
  return 0;
}
API int snd_seq_client_id(snd_seq_t* seq) {
  (void)seq;
  return OUR_CLIENT;
}
API int snd_seq_set_client_name(snd_seq_t* seq, const char* name) {
  snprintf(seq->name, sizeof seq->name, "%s", name);
  return 0;
}
API int snd_seq_poll_descriptors_count(snd_seq_t* seq, short events) {
  (void)seq, (void)events;
  return 1;
}
API int snd_seq_poll_descriptors(snd_seq_t* seq, struct pollfd* pfds, unsigned int space, short events) {
  if (space < 1) return 0;
  pfds[0].fd = seq->pipe[0];
  pfds[0].events = (short)(events & POLLIN);
  pfds[0].revents = 0;
  return 1;
}

/* Clients and ports: ours alone. */
API size_t snd_seq_client_info_sizeof(void) { return sizeof(snd_seq_client_info_t); }
API int snd_seq_client_info_get_client(const snd_seq_client_info_t* info) { return info->client; }
API const char* snd_seq_client_info_get_name(snd_seq_client_info_t* info) { return info->name; }
API void snd_seq_client_info_set_client(snd_seq_client_info_t* info, int client) { info->client = client; }
API int snd_seq_get_any_client_info(snd_seq_t* seq, int client, snd_seq_client_info_t* info) {
  if (client != OUR_CLIENT) return -ENOENT;
  info->client = client;
  snprintf(info->name, sizeof info->name, "%s", seq->name);
  return 0;
}
API int snd_seq_query_next_client(snd_seq_t* seq, snd_seq_client_info_t* info) {
  (void)seq, (void)info;
  return -ENOENT; /* Qtractor lists other clients to connect to; there are none */
}
API size_t snd_seq_port_info_sizeof(void) { return sizeof(snd_seq_port_info_t); }
API unsigned int snd_seq_port_info_get_capability(const snd_seq_port_info_t* info) { return info->caps; }
API const char* snd_seq_port_info_get_name(const snd_seq_port_info_t* info) { return info->name; }
API int snd_seq_port_info_get_port(const snd_seq_port_info_t* info) { return info->port; }
API void snd_seq_port_info_set_client(snd_seq_port_info_t* info, int client) { info->client = client; }
API void snd_seq_port_info_set_port(snd_seq_port_info_t* info, int port) { info->port = port; }
API void snd_seq_port_info_set_timestamp_queue(snd_seq_port_info_t* info, int queue) { (void)info, (void)queue; }
API void snd_seq_port_info_set_timestamp_real(snd_seq_port_info_t* info, int realtime) { (void)info, (void)realtime; }
API void snd_seq_port_info_set_timestamping(snd_seq_port_info_t* info, int enable) { (void)info, (void)enable; }
API int snd_seq_create_simple_port(snd_seq_t* seq, const char* name, unsigned int caps, unsigned int type) {
  (void)type;
  for (int port = 0; port < MAX_PORTS; ++port) {
    if (seq->used[port]) continue;
    seq->used[port] = 1;
    seq->caps[port] = caps;
    snprintf(seq->ports[port], sizeof seq->ports[port], "%s", name);
    return port;
  }
  return -ENOMEM;
}
API int snd_seq_delete_simple_port(snd_seq_t* seq, int port) {
  if (port < 0 || port >= MAX_PORTS || !seq->used[port]) return -ENOENT;
  seq->used[port] = 0;
  return 0;
}
API int snd_seq_get_any_port_info(snd_seq_t* seq, int client, int port, snd_seq_port_info_t* info) {
  if (client != OUR_CLIENT || port < 0 || port >= MAX_PORTS || !seq->used[port]) return -ENOENT;
  info->client = client;
  info->port = port;
  info->caps = seq->caps[port];
  snprintf(info->name, sizeof info->name, "%s", seq->ports[port]);
  return 0;
}
API int snd_seq_get_port_info(snd_seq_t* seq, int port, snd_seq_port_info_t* info) {
  return snd_seq_get_any_port_info(seq, OUR_CLIENT, port, info);
}
API int snd_seq_set_port_info(snd_seq_t* seq, int port, snd_seq_port_info_t* info) {
  if (port < 0 || port >= MAX_PORTS || !seq->used[port]) return -ENOENT;
  seq->caps[port] = info->caps ? info->caps : seq->caps[port];
  return 0;
}
API int snd_seq_query_next_port(snd_seq_t* seq, snd_seq_port_info_t* info) {
  if (info->client != OUR_CLIENT) return -ENOENT;
  for (int port = info->port + 1; port >= 0 && port < MAX_PORTS; ++port) {
    if (seq->used[port]) return snd_seq_get_any_port_info(seq, OUR_CLIENT, port, info);
  }
  return -ENOENT;
}

/* Subscriptions: accepted, and none is ever listed, as no other client exists. */
API size_t snd_seq_port_subscribe_sizeof(void) { return sizeof(snd_seq_port_subscribe_t); }
API void snd_seq_port_subscribe_set_dest(snd_seq_port_subscribe_t* info, const snd_seq_addr_t* addr) {
  info->dest = *addr;
}
API void snd_seq_port_subscribe_set_sender(snd_seq_port_subscribe_t* info, const snd_seq_addr_t* addr) {
  info->sender = *addr;
}
API int snd_seq_subscribe_port(snd_seq_t* seq, snd_seq_port_subscribe_t* sub) {
  (void)seq, (void)sub;
  return -ENOENT;
}
API int snd_seq_unsubscribe_port(snd_seq_t* seq, snd_seq_port_subscribe_t* sub) {
  (void)seq, (void)sub;
  return -ENOENT;
}
API size_t snd_seq_query_subscribe_sizeof(void) { return sizeof(snd_seq_query_subscribe_t); }
API const snd_seq_addr_t* snd_seq_query_subscribe_get_addr(const snd_seq_query_subscribe_t* info) {
  return &info->addr;
}
API int snd_seq_query_subscribe_get_index(const snd_seq_query_subscribe_t* info) { return info->index; }
API void snd_seq_query_subscribe_set_index(snd_seq_query_subscribe_t* info, int index) { info->index = index; }
API void snd_seq_query_subscribe_set_root(snd_seq_query_subscribe_t* info, const snd_seq_addr_t* addr) {
  info->root = *addr;
}
API void snd_seq_query_subscribe_set_type(snd_seq_query_subscribe_t* info, snd_seq_query_subs_type_t type) {
  info->type = (int)type;
}
API int snd_seq_query_port_subscribers(snd_seq_t* seq, snd_seq_query_subscribe_t* subs) {
  (void)seq, (void)subs;
  return -ENOENT;
}

/* The queue. */
API int snd_seq_alloc_queue(snd_seq_t* seq) {
  (void)seq;
  return 0;
}
API int snd_seq_free_queue(snd_seq_t* seq, int q) {
  (void)seq;
  return q == 0 ? 0 : -EINVAL;
}
API size_t snd_seq_queue_tempo_sizeof(void) { return sizeof(snd_seq_queue_tempo_t); }
API unsigned int snd_seq_queue_tempo_get_skew(const snd_seq_queue_tempo_t* info) { return info->skew; }
API unsigned int snd_seq_queue_tempo_get_skew_base(const snd_seq_queue_tempo_t* info) { return info->skew_base; }
API void snd_seq_queue_tempo_set_ppq(snd_seq_queue_tempo_t* info, int ppq) { info->ppq = ppq; }
API void snd_seq_queue_tempo_set_skew(snd_seq_queue_tempo_t* info, unsigned int skew) { info->skew = skew; }
API void snd_seq_queue_tempo_set_tempo(snd_seq_queue_tempo_t* info, unsigned int tempo) { info->tempo = tempo; }
API int snd_seq_get_queue_tempo(snd_seq_t* seq, int q, snd_seq_queue_tempo_t* tempo) {
  (void)seq, (void)q;
  pthread_mutex_lock(&queue_lock);
  tempo->tempo = queue_tempo_us, tempo->ppq = queue_ppq, tempo->skew = queue_skew, tempo->skew_base = queue_skew_base;
  pthread_mutex_unlock(&queue_lock);
  return 0;
}
API int snd_seq_set_queue_tempo(snd_seq_t* seq, int q, snd_seq_queue_tempo_t* tempo) {
  (void)seq, (void)q;
  pthread_mutex_lock(&queue_lock);
  queue_base_tick = ticks_now(), queue_started = now_seconds(); /* the tick so far stays; the new rate runs from here */
  if (tempo->tempo > 0) queue_tempo_us = tempo->tempo;
  if (tempo->ppq > 0) queue_ppq = tempo->ppq;
  if (tempo->skew > 0) queue_skew = tempo->skew;
  if (tempo->skew_base > 0) queue_skew_base = tempo->skew_base;
  pthread_mutex_unlock(&queue_lock);
  return 0;
}
API size_t snd_seq_queue_timer_sizeof(void) { return sizeof(snd_seq_queue_timer_t); }
API void snd_seq_queue_timer_set_id(snd_seq_queue_timer_t* info, const snd_timer_id_t* id) { (void)info, (void)id; }
API void snd_seq_queue_timer_set_type(snd_seq_queue_timer_t* info, snd_seq_queue_timer_type_t type) {
  info->type = (int)type;
}
API int snd_seq_set_queue_timer(snd_seq_t* seq, int q, snd_seq_queue_timer_t* timer) {
  (void)seq, (void)q, (void)timer;
  return 0;
}
API size_t snd_seq_queue_status_sizeof(void) { return sizeof(snd_seq_queue_status_t); }
API snd_seq_tick_time_t snd_seq_queue_status_get_tick_time(const snd_seq_queue_status_t* info) { return info->tick; }
API int snd_seq_get_queue_status(snd_seq_t* seq, int q, snd_seq_queue_status_t* status) {
  (void)seq, (void)q;
  pthread_mutex_lock(&queue_lock);
  status->tick = (snd_seq_tick_time_t)ticks_now();
  pthread_mutex_unlock(&queue_lock);
  return 0;
}
API int snd_seq_control_queue(snd_seq_t* seq, int q, int type, int value, snd_seq_event_t* ev) {
  (void)seq, (void)q, (void)ev;
  pthread_mutex_lock(&queue_lock);
  double tick = ticks_now();
  switch (type) {
    case SND_SEQ_EVENT_START: queue_running = 1, queue_base_tick = 0, queue_started = now_seconds(); break;
    case SND_SEQ_EVENT_CONTINUE: queue_running = 1, queue_started = now_seconds(); break;
    case SND_SEQ_EVENT_STOP: queue_running = 0, queue_base_tick = tick; break;
    case SND_SEQ_EVENT_SETPOS_TICK: queue_base_tick = value, queue_started = now_seconds(); break;
    case SND_SEQ_EVENT_TEMPO:
      if (value > 0) queue_base_tick = tick, queue_started = now_seconds(), queue_tempo_us = (unsigned)value;
      break;
    default: break;
  }
  pthread_mutex_unlock(&queue_lock);
  return 0;
}

/* Events: what goes out has no one to reach; nothing ever comes in. */
API int snd_seq_event_output(snd_seq_t* seq, snd_seq_event_t* ev) {
  (void)seq, (void)ev;
  return 0;
}
API int snd_seq_event_output_direct(snd_seq_t* seq, snd_seq_event_t* ev) {
  (void)seq, (void)ev;
  return 0;
}
API int snd_seq_drain_output(snd_seq_t* seq) {
  (void)seq;
  return 0;
}
API int snd_seq_drop_output(snd_seq_t* seq) {
  (void)seq;
  return 0;
}
API int snd_seq_drop_input(snd_seq_t* seq) {
  (void)seq;
  return 0;
}
API int snd_seq_event_input(snd_seq_t* seq, snd_seq_event_t** ev) {
  (void)seq;
  *ev = NULL;
  return -EAGAIN;
}
API int snd_seq_event_input_pending(snd_seq_t* seq, int fetch_sequencer) {
  (void)seq, (void)fetch_sequencer;
  return 0;
}
API int snd_seq_free_event(snd_seq_event_t* ev) {
  (void)ev;
  return 0;
}
API size_t snd_seq_remove_events_sizeof(void) { return sizeof(snd_seq_remove_events_t); }
API void snd_seq_remove_events_set_channel(snd_seq_remove_events_t* info, int channel) { (void)info, (void)channel; }
API void snd_seq_remove_events_set_condition(snd_seq_remove_events_t* info, unsigned int flags) {
  (void)info, (void)flags;
}
API void snd_seq_remove_events_set_queue(snd_seq_remove_events_t* info, int queue) { (void)info, (void)queue; }
API void snd_seq_remove_events_set_tag(snd_seq_remove_events_t* info, int tag) { (void)info, (void)tag; }
API void snd_seq_remove_events_set_time(snd_seq_remove_events_t* info, const snd_seq_timestamp_t* time) {
  (void)info, (void)time;
}
API int snd_seq_remove_events(snd_seq_t* seq, snd_seq_remove_events_t* info) {
  (void)seq, (void)info;
  return 0;
}
