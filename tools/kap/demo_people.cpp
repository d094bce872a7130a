// Made-up people, companies, identifiers and accounts for the demo data.
#include "tools/kap/demo_people.h"

#include "platform/os/os.h"

namespace kap::demo {
namespace {

const char* const kSurnames[] = {
    "García", "Martínez", "López", "Sánchez", "Pérez", "Gómez", "Martín", "Jiménez", "Ruiz",
    "Hernández", "Díaz", "Moreno", "Muñoz", "Álvarez", "Romero", "Alonso", "Gutiérrez",
    "Navarro", "Torres", "Domínguez", "Vázquez", "Ramos", "Gil", "Ramírez", "Serrano",
    "Blanco", "Molina", "Morales", "Suárez", "Ortega", "Delgado", "Castro", "Ortiz", "Rubio",
    "Marín", "Sanz", "Núñez", "Iglesias", "Medina", "Garrido", "Puig", "Ferrer", "Vilà",
    "Soler", "Roca", "Pujol", "Camps", "Bosch", "Serra", "Font", "Riera", "Casals", "Mas",
    "Vidal", "Ibáñez", "Peña", "Castaño", "Echeverría", "Aguirre", "Goikoetxea", "Oliveira",
    "Fernández", "Rodríguez", "González", "Ávila", "Òdena", "Úbeda"};

const char* const kFirstNames[] = {
    "María", "José", "Antonio", "Carmen", "Manuel", "Josefa", "Francisco", "Ana", "David",
    "Laura", "Jordi", "Núria", "Montserrat", "Àngels", "Joan", "Mercè", "Òscar", "Ramón",
    "Begoña", "Iñaki", "Andrés", "Inés", "Sofía", "Lucía", "Martí", "Pau", "Arnau", "Marta",
    "Elena", "Raúl", "Íñigo", "Ainhoa", "María José", "Juan Carlos", "Rosa Maria", "Xavier"};

const char* const kCompanyWords[] = {"Finques", "Inmobiliaria", "Patrimonial", "Lloguers",
                                     "Inversiones", "Gestió", "Promociones", "Habitatges",
                                     "Construccions", "Rústica"};

const char* const kStreets[] = {"C/ Major", "Av. Diagonal", "C/ de la Pau", "Pl. Catalunya",
                                "C/ Gran Vía", "Pg. de Gràcia", "C/ Sant Antoni", "Av. Andalucía",
                                "C/ Mayor", "C/ Nou", "Rda. Sant Pere", "C/ Ercilla",
                                "Av. Pío XII", "C/ Estafeta", "C/ Dato", "C/ Jaume I"};

const char* const kKinds[] = {"Local", "Pis", "Oficina", "Nau", "Pàrquing", "Apartament"};

const char* const kBanks[] = {"2100", "0049", "0182", "0081", "2038", "3058", "0128",
                              "2095", "0075", "3035"};

std::string Digits(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + Pick(0, 9));
  return s;
}

int Mod11Digit(const std::string& digits, const int* weights) {
  int sum = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) sum += (digits[i] - '0') * weights[i];
  int r = 11 - sum % 11;
  if (r == 11) return 0;
  if (r == 10) return 1;
  return r;
}

}  // namespace

int Pick(int low, int high) { return os::RandomInt(low, high); }

Person MakePerson() {
  std::string s1 = PickOf(kSurnames);
  std::string s2 = PickOf(kSurnames);
  std::string first = PickOf(kFirstNames);
  if (!s1.empty() && s1[0] >= 'a' && s1[0] <= 'z') s1[0] = static_cast<char>(s1[0] - 32);
  if (!s2.empty() && s2[0] >= 'a' && s2[0] <= 'z') s2[0] = static_cast<char>(s2[0] - 32);
  return {s1 + " " + s2 + ", " + first, s1 + " " + s2 + "*" + first};
}

std::string MakeCompany(bool& isSa) {
  isSa = Pick(1, 5) == 1;
  std::string surname = PickOf(kSurnames);
  if (surname[0] >= 'a' && surname[0] <= 'z') surname[0] = static_cast<char>(surname[0] - 32);
  return std::string(PickOf(kCompanyWords)) + " " + surname + (isSa ? ", S.A." : ", S.L.");
}

std::string PersonNif() {
  static const char letters[] = "TRWAGMYFPDXBNJZSQVHLCKE";
  std::string number = Digits(8);
  if (number[0] == '0') number[0] = '4';
  return number + letters[std::stol(number) % 23];
}

std::string ForeignerNie() {
  static const char letters[] = "TRWAGMYFPDXBNJZSQVHLCKE";
  const char prefix = "XYZ"[Pick(0, 2)];
  std::string number = Digits(7);
  long value = std::stol(std::string(1, static_cast<char>('0' + (prefix - 'X'))) + number);
  return std::string(1, prefix) + number + letters[value % 23];
}

std::string CompanyCif(char kind) {
  std::string number = Digits(7);
  if (number[0] == '0') number[0] = '6';
  int sum = 0;
  for (int i = 0; i < 7; ++i) {
    int d = number[static_cast<std::size_t>(i)] - '0';
    if (i % 2 == 0) {
      d *= 2;
      sum += d / 10 + d % 10;
    } else {
      sum += d;
    }
  }
  return std::string(1, kind) + number + static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string SpanishIban() {
  static const int weights[] = {1, 2, 4, 8, 5, 10, 9, 7, 3, 6};
  std::string bankBranch = std::string(PickOf(kBanks)) + Digits(4);
  std::string account = Digits(10);
  std::string control;
  control += static_cast<char>('0' + Mod11Digit(bankBranch, weights + 2));
  control += static_cast<char>('0' + Mod11Digit(account, weights));
  std::string bban = bankBranch + control + account;
  // ISO 13616: BBAN + "ES00" with E = 14, S = 28, remainder mod 97.
  std::string digits = bban + "142800";
  int remainder = 0;
  for (char c : digits) remainder = (remainder * 10 + (c - '0')) % 97;
  int check = 98 - remainder;
  std::string cc = std::string(1, static_cast<char>('0' + check / 10)) + static_cast<char>('0' + check % 10);
  return "ES" + cc + bban;
}

std::string PropertyName() {
  return std::string(PickOf(kKinds)) + " " + PickOf(kStreets) + ", " + std::to_string(Pick(1, 140));
}

}  // namespace kap::demo
